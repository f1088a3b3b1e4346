#pragma once

#include <string>

#include "settings/IspSetting.h"
#include "settings/SettingsStore.h"

namespace qv {

// Names and defaults of the four stored values.
inline constexpr const char* kIspSettingName = "ISPSetting";
inline constexpr const char* kIspFileName = "ISPFileName";
inline constexpr const char* kVidName = "UsbVIDSet";
inline constexpr const char* kPidName = "UsbPIDSet";
inline constexpr const char* kDefaultVid = "6b94";
inline constexpr const char* kDefaultPid = "F82D";

struct LoadedSettings {
    bool stored = false;  // false on a first run: the ISP controls keep their design states
    IspOptions isp = DesignIspOptions();
    std::string programFileName;  // empty, or a file that opened when the settings were loaded
    std::string vidText = kDefaultVid;
    std::string pidText = kDefaultPid;
};

struct SettingsToSave {
    IspOptions isp;               // the controls' states and the start and size texts
    std::string programFileText;  // the program file combo box's text
    std::string vidText;
    std::string pidText;
};

LoadedSettings LoadSettings(SettingsStore& store);
// A start or size text that is not a decimal integer leaves the stored ISPSetting as it was;
// the other three values are saved.
void SaveSettings(SettingsStore& store, const SettingsToSave& settings);

}  // namespace qv
