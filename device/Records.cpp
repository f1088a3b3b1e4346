#include "device/Records.h"

#include <algorithm>

#include "device/Guid.h"

namespace qv {

void PutLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    PutLe16(bytes, offset, static_cast<std::uint16_t>(value));
    PutLe16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t GetLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t GetLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return GetLe16(bytes, offset) | (static_cast<std::uint32_t>(GetLe16(bytes, offset + 2)) << 16);
}

std::array<std::uint8_t, kSetupRecordSize> BuildSetupRecord(std::uint8_t requestType,
                                                            std::uint8_t request,
                                                            std::uint16_t value,
                                                            std::uint16_t index,
                                                            std::uint16_t lengthField) {
    std::array<std::uint8_t, kSetupRecordSize> record{};
    record[4] = requestType;
    record[5] = request;
    PutLe16(record, 6, value);
    PutLe16(record, 8, index);
    PutLe16(record, 10, lengthField);
    return record;
}

static void PutPropertyHeader(std::span<std::uint8_t> record, std::uint32_t id,
                              std::uint32_t flags) {
    const auto set = kVendorPropertySet.Bytes();
    std::copy(set.begin(), set.end(), record.begin());
    PutLe32(record, 16, id);
    PutLe32(record, 20, flags);
}

std::vector<std::uint8_t> BuildPropertyRecord(std::uint8_t requestType, std::uint8_t request,
                                              std::uint16_t value, std::uint16_t index,
                                              std::span<const std::uint8_t> data) {
    const std::size_t length = data.size();
    std::vector<std::uint8_t> record(length == 0 ? 48 : length + 47, 0);
    PutPropertyHeader(record, kVendorRequestPropertyId,
                      IsDeviceToHost(requestType) ? kKsPropertyTypeGet : kKsPropertyTypeSet);
    record[24] = kPropertyRequestTypeByte;
    record[25] = request;
    PutLe16(record, 26, value);
    PutLe16(record, 28, index);
    PutLe32(record, 36, static_cast<std::uint32_t>(length));
    std::copy(data.begin(), data.end(), record.begin() + kPropertyDataOffset);
    return record;
}

std::array<std::uint8_t, kPropertyHeaderSize> BuildSupportQuery() {
    std::array<std::uint8_t, kPropertyHeaderSize> header{};
    PutPropertyHeader(header, 0, kKsPropertyTypeSetSupport);
    return header;
}

}  // namespace qv
