#include "settings/Settings.h"

#include <filesystem>
#include <fstream>

#include "common/TypedNumber.h"

namespace qv {

static std::string TextOr(const std::optional<std::string>& text, const char* fallback) {
    return text && !text->empty() ? *text : fallback;
}

// A name kept from another run may since name a FIFO (opening it would wait for a writer), a
// device or a folder: only a regular file that opens is kept.
static bool FileOpens(const std::string& name) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error)) return false;
    std::ifstream file(name, std::ios::binary);
    return file.is_open();
}

LoadedSettings LoadSettings(SettingsStore& store) {
    LoadedSettings loaded;
    if (!store.OpenForReading()) return loaded;
    loaded.stored = true;
    const auto setting = store.ReadNumber(kIspSettingName);
    loaded.isp = setting ? UnpackIspSetting(*setting) : DefaultIspOptions();
    const auto fileName = store.ReadText(kIspFileName);
    if (fileName && !fileName->empty() && FileOpens(*fileName)) loaded.programFileName = *fileName;
    loaded.vidText = TextOr(store.ReadText(kVidName), kDefaultVid);
    loaded.pidText = TextOr(store.ReadText(kPidName), kDefaultPid);
    store.Close();
    return loaded;
}

void SaveSettings(SettingsStore& store, const SettingsToSave& settings) {
    if (!store.OpenForWriting()) return;
    try {
        const std::int32_t start = StrToInt(settings.isp.startText);
        const std::int32_t size = StrToInt(settings.isp.sizeText);
        store.WriteNumber(kIspSettingName, PackIspSetting(settings.isp, start, size));
    } catch (const ConversionError&) {
        // Keep what is stored rather than writing a value made of garbage.
    }
    store.WriteText(kIspFileName, settings.programFileText);
    store.WriteText(kVidName, settings.vidText);
    store.WriteText(kPidName, settings.pidText);
    store.Close();
}

}  // namespace qv
