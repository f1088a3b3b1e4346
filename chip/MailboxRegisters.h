#pragma once

#include <cstddef>
#include <cstdint>

#include "device/QuorvexUsb.h"

namespace qv {

// The firmware's command mailbox in bank 0, shared by the EEPROM parameter requests and the
// HID keys.
inline constexpr std::uint8_t kMailboxCommandRegister = 0x90;   // command; then the answer
inline constexpr std::uint8_t kMailboxSelectorRegister = 0x91;  // parameter block or key code
inline constexpr std::uint8_t kMailboxOffsetRegister = 0x92;    // chunk number in the block
inline constexpr std::uint8_t kMailboxDataRegister = 0x93;      // first of the data window
inline constexpr std::size_t kMailboxDataSize = 8;              // 0x93 to 0x9A

// Up to `polls` times: waits 10 ms, then reads the command register. Done as soon as it reads
// `answer`, NotReady when it never did; a read that did not go through ends the wait with its
// reply.
Reply AwaitMailboxAnswer(QuorvexUsb& device, std::uint8_t answer, int polls);

}  // namespace qv
