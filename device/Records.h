#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace qv {

// I/O control codes of the two carriers.
inline constexpr std::uint32_t kHostToDeviceCode = 0x222429;  // vendor driver, data to the device
inline constexpr std::uint32_t kDeviceToHostCode = 0x22242E;  // vendor driver, data from the device
inline constexpr std::uint32_t kKsPropertyCode = 0x2F0003;    // IOCTL_KS_PROPERTY

inline constexpr std::uint32_t kVendorRequestPropertyId = 7;
inline constexpr std::uint32_t kKsPropertyTypeGet = 0x001;
inline constexpr std::uint32_t kKsPropertyTypeSet = 0x002;
inline constexpr std::uint32_t kKsPropertyTypeSetSupport = 0x100;

inline constexpr std::size_t kSetupRecordSize = 24;
inline constexpr std::size_t kPropertyHeaderSize = 24;
inline constexpr std::size_t kPropertyDataOffset = 40;
// Byte 24 of the property record: the audio carrier never carries the caller's request type.
inline constexpr std::uint8_t kPropertyRequestTypeByte = 0x20;

inline bool IsDeviceToHost(std::uint8_t requestType) { return (requestType & 0x80) != 0; }

// The vendor driver's 24-byte setup record. lengthField is 0 for every vendor request (the
// transfer length is the size of the data buffer passed beside the record).
std::array<std::uint8_t, kSetupRecordSize> BuildSetupRecord(std::uint8_t requestType,
                                                            std::uint8_t request,
                                                            std::uint16_t value,
                                                            std::uint16_t index,
                                                            std::uint16_t lengthField = 0);

// The audio driver's property record: header, request, data length, a copy of the caller's
// data (in both directions) and zero padding; data.size() + 47 bytes, 48 when empty.
std::vector<std::uint8_t> BuildPropertyRecord(std::uint8_t requestType, std::uint8_t request,
                                              std::uint16_t value, std::uint16_t index,
                                              std::span<const std::uint8_t> data);

// The 24-byte header that asks the audio driver whether it supports the vendor property set.
std::array<std::uint8_t, kPropertyHeaderSize> BuildSupportQuery();

// Little-endian field access, byte by byte.
void PutLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value);
void PutLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);
std::uint16_t GetLe16(std::span<const std::uint8_t> bytes, std::size_t offset);
std::uint32_t GetLe32(std::span<const std::uint8_t> bytes, std::size_t offset);

}  // namespace qv
