#pragma once

#include <cstdint>
#include <string>

namespace qv::cli {

// A udev rule, in the form of the package's rule, that gives the USB device VID:PID to the
// logged-in desktop user and to the plugdev group: what `qvusb udev-rule` prints.
std::string UdevRuleText(std::uint16_t vid, std::uint16_t pid);

}  // namespace qv::cli
