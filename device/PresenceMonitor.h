#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/QuorvexUsb.h"

namespace qv {

// What the top panel shows.
enum class IndicatorColour { Lime, ButtonFace, Grey };

struct Indicator {
    IndicatorColour colour;
    std::optional<std::string> text;  // no value: the label keeps its text
};

// The decision of the presence timer, one tick at a time, without the timer: it keeps the
// device object pointed at the user's device (audio carrier) or one of the two firmware-update
// devices (generic carrier) and says what the panel shows and when the next tick comes.
class PresenceMonitor {
public:
    static constexpr std::uint32_t kCheckIntervalMs = 1000;
    static constexpr std::uint32_t kSearchIntervalMs = 300;

    struct TickResult {
        std::optional<std::uint32_t> intervalMs;  // a new timer interval, when it changes
        std::optional<Indicator> indicator;       // what to show, when the tick shows anything
    };

    explicit PresenceMonitor(QuorvexUsb& device);

    TickResult Tick();
    // The "Detect Device" box checked: takes the edits' texts and folds the match to lower case.
    void SwitchOn(const std::string& vidEditText, const std::string& pidEditText);
    // The box unchecked: the device is no longer taken as present; the panel turns grey.
    Indicator SwitchOff();
    // Enter in the VID or PID edit.
    void TakeVidText(const std::string& text);
    void TakePidText(const std::string& text);

    bool DetectOn = false;
    bool FirmwareIdToggle = false;  // false: 6b94 is tried next, true: 4d17
    bool AutoBusy = false;
    std::string VidText;
    std::string PidText;
    std::string DeviceMatch;

private:
    void SearchNext(TickResult& result);
    Indicator CurrentIndicator() const;

    QuorvexUsb& device_;
};

}  // namespace qv
