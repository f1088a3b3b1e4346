#pragma once

#include <string>

#include "device/QuorvexUsb.h"

namespace qv {

// Match texts of the two firmware-update devices (product 6000), found on the generic class.
inline constexpr const char* kFirmwareUpdateMatch6b94 = "vid_6b94&pid_6000";
inline constexpr const char* kFirmwareUpdateMatch4d17 = "vid_4d17&pid_6000";

// "vid_" + VID text + "&pid_" + PID text, the texts kept as typed.
std::string MakeDeviceMatch(const std::string& vidText, const std::string& pidText);
// Replaces the ASCII capitals A to Z by their small letters; every other byte stays.
std::string FoldToLowerAscii(std::string text);

enum class FoundDevice { None, UserDevice, FirmwareUpdate6b94, FirmwareUpdate4d17 };

// One search in the order the presence monitor uses: the user's device on the audio carrier,
// then the firmware-update devices 6b94 and 4d17 on the generic carrier. Leaves the device
// object on the carrier and match text of what it found.
FoundDevice LocateDevice(QuorvexUsb& device, const std::string& userDeviceMatch);

}  // namespace qv
