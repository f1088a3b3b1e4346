#include "device/PresenceMonitor.h"

#include "device/DeviceMatch.h"

namespace qv {

PresenceMonitor::PresenceMonitor(QuorvexUsb& device) : device_(device) {}

PresenceMonitor::TickResult PresenceMonitor::Tick() {
    TickResult result;
    if (!DetectOn) {
        if (device_.IsPresent()) device_.Close();
        return result;
    }
    if (AutoBusy) return result;
    if (device_.IsPresent()) {
        result.intervalMs = kCheckIntervalMs;
        device_.CheckPresent();
    } else {
        SearchNext(result);
    }
    result.indicator = CurrentIndicator();
    return result;
}

// Alternates between the user's device and the firmware-update devices, each of these in turn.
void PresenceMonitor::SearchNext(TickResult& result) {
    const auto order = SearchOrder(DeviceMatch);
    const DeviceSearch* next = &order[0];
    if (device_.GetKsMode()) {
        result.intervalMs = kSearchIntervalMs;
        next = &order[FirmwareIdToggle ? 2 : 1];
        FirmwareIdToggle = !FirmwareIdToggle;
    }
    device_.SetKsMode(next->ksMode);
    device_.SetMatchText(next->match);
    device_.FindDevice();
}

Indicator PresenceMonitor::CurrentIndicator() const {
    if (!device_.IsPresent()) return {IndicatorColour::ButtonFace, "No device is available"};
    if (device_.GetKsMode()) return {IndicatorColour::Lime, "Device " + PidText + " is exist"};
    return {IndicatorColour::Lime, FirmwareIdToggle ? "Firmware update device 6B94 is exist"
                                                    : "Firmware update device 4D17 is exist"};
}

void PresenceMonitor::SwitchOn(const std::string& vidEditText, const std::string& pidEditText) {
    DetectOn = true;
    VidText = vidEditText;
    PidText = pidEditText;
    DeviceMatch = FoldToLowerAscii(MakeDeviceMatch(VidText, PidText));
}

Indicator PresenceMonitor::SwitchOff() {
    DetectOn = false;
    device_.ClearPresent();
    return {IndicatorColour::Grey, std::nullopt};
}

void PresenceMonitor::TakeVidText(const std::string& text) {
    VidText = text;
    DeviceMatch = MakeDeviceMatch(VidText, PidText);
}

void PresenceMonitor::TakePidText(const std::string& text) {
    PidText = text;
    DeviceMatch = MakeDeviceMatch(VidText, PidText);
}

}  // namespace qv
