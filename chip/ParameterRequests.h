#pragma once

#include <cstdint>
#include <string_view>

#include "chip/ParameterBlocks.h"
#include "device/QuorvexUsb.h"

namespace qv {

// Parameter blocks by the mailbox selector that addresses them (bit 0 set: a read).
enum class IdentitySelector : std::uint8_t { VendorId = 0x08, ProductId = 0x0A };
enum class StringSelector : std::uint8_t {
    Manufacturer = 0x10,  // string 1
    ModelName = 0x14,     // string 2
    SerialNumber = 0x18,  // string 3
};
inline constexpr std::uint8_t kOptionsWriteSelector = 0x20;
inline constexpr std::uint8_t kOptionsReadSelector = 0x21;

// Each request opens and closes the device itself and returns what became of its mailbox
// exchange (see EepromMailbox); a string is sent whole even when a chunk failed, unless the
// chip is gone or has gone silent.

// Reads the options into `block`, only when the exchange was Done: a block the firmware did
// not answer for is kept as it was.
Reply ReadOptionBlock(QuorvexUsb& device, OptionBlock& block);
// Sends all four bytes as held, including those the tool does not use.
Reply WriteOptionBlock(QuorvexUsb& device, const OptionBlock& block);
// Sends IdentityBytes(typed) in one request.
Reply WriteIdentity(QuorvexUsb& device, IdentitySelector selector, std::string_view typed);
// Sends StringImage(typed) in chunks of eight bytes (offset = chunk number, the last chunk
// carries the rest), waiting 50 ms after each chunk, the last one included. The first chunk's
// failure is the reply.
Reply WriteString(QuorvexUsb& device, StringSelector selector, std::string_view typed);

}  // namespace qv
