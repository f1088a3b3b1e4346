#include "device/host/DriverCall.h"

#include <algorithm>

#include "device/Guid.h"
#include "device/Records.h"

namespace qv {
namespace {

DriverCall DecodeSetupRecord(std::uint32_t controlCode, std::span<const std::uint8_t> input,
                             std::span<const std::uint8_t> output) {
    DriverCall call;
    if (input.size() != kSetupRecordSize) return call;
    call.carrier = Carrier::DirectUsb;
    call.setup.requestType = input[4];
    call.setup.request = input[5];
    call.setup.value = GetLe16(input, 6);
    call.setup.index = GetLe16(input, 8);
    call.setup.length = static_cast<std::uint32_t>(output.size());
    const bool codeReads = controlCode == kDeviceToHostCode;
    if (codeReads != call.setup.IsDeviceToHost()) return call;
    if (!codeReads) call.outData.assign(output.begin(), output.end());
    call.kind = DriverCall::Kind::Transfer;
    return call;
}

bool HasVendorPropertySet(std::span<const std::uint8_t> input) {
    const auto set = kVendorPropertySet.Bytes();
    return std::equal(set.begin(), set.end(), input.begin());
}

DriverCall DecodePropertyRecord(std::span<const std::uint8_t> input,
                                std::span<const std::uint8_t> output) {
    DriverCall call;
    call.carrier = Carrier::KsProperty;
    if (input.size() < kPropertyHeaderSize || !HasVendorPropertySet(input)) return call;
    const std::uint32_t id = GetLe32(input, 16);
    const std::uint32_t flags = GetLe32(input, 20);
    if (flags == kKsPropertyTypeSetSupport) {
        call.kind = DriverCall::Kind::SupportQuery;
        return call;
    }
    const bool get = flags == kKsPropertyTypeGet;
    if (id != kVendorRequestPropertyId || (!get && flags != kKsPropertyTypeSet)) return call;
    if (input.size() < kPropertyDataOffset) return call;
    const std::uint32_t length = GetLe32(input, 36);
    if (input.size() - kPropertyDataOffset < length) return call;
    if (get && output.size() < length) return call;
    call.setup.requestType = static_cast<std::uint8_t>(input[24] | (get ? 0x80 : 0x00));
    call.setup.request = input[25];
    call.setup.value = GetLe16(input, 26);
    call.setup.index = GetLe16(input, 28);
    call.setup.length = length;
    if (!get) {
        const auto data = input.subspan(kPropertyDataOffset, length);
        call.outData.assign(data.begin(), data.end());
    }
    call.kind = DriverCall::Kind::Transfer;
    return call;
}

}  // namespace

DriverCall DecodeDriverCall(std::uint32_t controlCode, std::span<const std::uint8_t> input,
                            std::span<const std::uint8_t> output) {
    switch (controlCode) {
        case kHostToDeviceCode:
        case kDeviceToHostCode:
            return DecodeSetupRecord(controlCode, input, output);
        case kKsPropertyCode:
            return DecodePropertyRecord(input, output);
        default:
            return {};
    }
}

}  // namespace qv
