#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

// A Windows-style GUID. Its byte image is the in-memory layout Windows uses
// (the first three fields little-endian), which is how it travels in records.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    std::array<std::uint8_t, 16> Bytes() const;
    // "{a5dcbf10-6530-11d2-901f-00c04fb951ed}", lower case, as it appears in interface paths.
    std::string PathText() const;

    friend bool operator==(const Guid&, const Guid&) = default;
};

// GUID_DEVINTERFACE_USB_DEVICE: generic USB device interfaces (the vendor driver's carrier).
inline constexpr Guid kUsbDeviceInterfaceClass{
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
// The audio driver's interface class (the kernel-streaming carrier).
inline constexpr Guid kAudioInterfaceClass{
    0x50894FA4, 0x9206, 0x4A91, {0x87, 0x28, 0xCF, 0x6F, 0x26, 0x8F, 0x27, 0x1D}};
// The audio driver's private property set that carries vendor requests.
inline constexpr Guid kVendorPropertySet{
    0xF6D7C04D, 0xC5C3, 0x4181, {0x9E, 0xD7, 0x50, 0x4A, 0xBE, 0x0C, 0xDD, 0xFF}};

}  // namespace qv
