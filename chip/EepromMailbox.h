#pragma once

#include <cstdint>
#include <span>

#include "device/QuorvexUsb.h"

namespace qv {

inline constexpr std::uint8_t kParameterCommand = 0x10;
inline constexpr std::uint8_t kParameterDone = 0xEE;

// One request to the firmware's EEPROM parameter mailbox. Opens the device and closes it before
// returning, so the caller must not hold it open. Selector bit 0 gives the direction: 0 sends
// `data` (at most the eight bytes of the data window) to the EEPROM, 1 fills `data` from it.
// The command goes last, then up to 20 polls for the completion code; a read collects the data
// window whether or not the firmware answered, and a write clears the command register; a
// failed read leaves its bytes of `data` as they were. Done only when every request went
// through and the firmware answered with the completion code within its polls; NotReady when
// it never did (what a read collected then is no answer); else the first request that did not
// go through, after which nothing more is sent.
Reply EepromMailbox(QuorvexUsb& device, std::uint8_t command, std::uint8_t selector,
                    std::uint8_t offset, std::span<std::uint8_t> data);

}  // namespace qv
