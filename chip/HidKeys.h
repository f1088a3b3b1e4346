#pragma once

#include <array>
#include <cstdint>

#include "device/QuorvexUsb.h"

namespace qv {

// The media key codes of the Information page's buttons 0 to 4: Prev, Vol -, Play, Vol +, Next.
inline constexpr std::array<std::uint8_t, 5> HidKeyCodes{0x40, 0x02, 0x10, 0x01, 0x20};

// Opens the device, hands the key to the firmware's HID mailbox in bank 0 and polls up to ten
// times, 10 ms apart, until the firmware has taken it; then closes the device. Sends no key
// release and leaves the command register as the firmware set it. Done when the key was taken,
// NotReady when the firmware never took it, else the request that failed (nothing after it is
// sent).
Reply SendHidKey(QuorvexUsb& device, std::uint8_t keyCode);

}  // namespace qv
