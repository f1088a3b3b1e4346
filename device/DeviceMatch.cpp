#include "device/DeviceMatch.h"

namespace qv {

std::string MakeDeviceMatch(const std::string& vidText, const std::string& pidText) {
    return "vid_" + vidText + "&pid_" + pidText;
}

std::string FoldToLowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    }
    return text;
}

static bool Search(QuorvexUsb& device, bool ksMode, const std::string& match) {
    device.ClearPresent();
    device.SetKsMode(ksMode);
    device.SetMatchText(match);
    device.FindDevice();
    return device.IsPresent();
}

FoundDevice LocateDevice(QuorvexUsb& device, const std::string& userDeviceMatch) {
    if (Search(device, true, userDeviceMatch)) return FoundDevice::UserDevice;
    if (Search(device, false, kFirmwareUpdateMatch6b94)) return FoundDevice::FirmwareUpdate6b94;
    if (Search(device, false, kFirmwareUpdateMatch4d17)) return FoundDevice::FirmwareUpdate4d17;
    return FoundDevice::None;
}

}  // namespace qv
