// Loads the four kept values from a store that holds any values at all (a settings file or
// registry key edited by hand, or written by another version), and checks what loading
// promises: it ends, the program file it keeps names a regular file, the texts it gives the
// window are usable, and what it gives is saved and loaded back unchanged.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "common/TypedNumber.h"
#include "fuzz/Require.h"
#include "settings/Settings.h"

namespace {

using qv::fuzz::Require;

// A store that answers from what it was given and keeps what is written.
class MemoryStore : public qv::SettingsStore {
public:
    bool OpenForReading() override { return present; }
    bool OpenForWriting() override { return true; }
    std::optional<std::uint32_t> ReadNumber(const std::string& name) override {
        const auto found = numbers.find(name);
        if (found == numbers.end()) return std::nullopt;
        return found->second;
    }
    std::optional<std::string> ReadText(const std::string& name) override {
        const auto found = texts.find(name);
        if (found == texts.end()) return std::nullopt;
        return found->second;
    }
    void WriteNumber(const std::string& name, std::uint32_t value) override {
        numbers[name] = value;
    }
    void WriteText(const std::string& name, const std::string& value) override {
        texts[name] = value;
    }
    void Close() override {}

    bool present = true;
    std::map<std::string, std::uint32_t> numbers;
    std::map<std::string, std::string> texts;
};

// A name the input may give that points at something that is no regular file, so that a load
// that opened it would be caught waiting or reading a device.
std::string FileName(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            return "/dev/zero";
        case 1:
            return "/dev/null";
        case 2:
            return "/";
        case 3:
            return "";
        default:
            return input.ConsumeRandomLengthString(300);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    MemoryStore store;
    store.present = input.ConsumeBool();
    if (input.ConsumeBool()) store.numbers[qv::kIspSettingName] = input.ConsumeIntegral<std::uint32_t>();
    if (input.ConsumeBool()) store.texts[qv::kIspFileName] = FileName(input);
    if (input.ConsumeBool()) store.texts[qv::kVidName] = input.ConsumeRandomLengthString(40);
    if (input.ConsumeBool()) store.texts[qv::kPidName] = input.ConsumeRandomLengthString(40);

    const qv::LoadedSettings loaded = qv::LoadSettings(store);
    std::error_code error;
    Require(loaded.programFileName.empty() ||
                std::filesystem::is_regular_file(loaded.programFileName, error),
            "only a regular file is kept as the program file");
    Require(!loaded.vidText.empty() && !loaded.pidText.empty(), "the ID texts are never empty");
    // The range edits are decimal numbers the window can convert and save again.
    const std::int32_t start = qv::StrToInt(loaded.isp.startText);
    const std::int32_t sizeKb = qv::StrToInt(loaded.isp.sizeText);
    Require(start >= 0 && sizeKb >= 0, "the range edits are not negative");

    MemoryStore again;
    qv::SaveSettings(again, {loaded.isp, loaded.programFileName, loaded.vidText, loaded.pidText});
    const qv::LoadedSettings reloaded = qv::LoadSettings(again);
    const bool sameSteps = std::all_of(
        qv::kAutoStepNames.begin(), qv::kAutoStepNames.end(), [&](const qv::AutoStepName& named) {
            return reloaded.isp.steps.*named.step == loaded.isp.steps.*named.step;
        });
    Require(reloaded.isp.startText == loaded.isp.startText &&
                reloaded.isp.sizeText == loaded.isp.sizeText &&
                reloaded.isp.wholeFlash == loaded.isp.wholeFlash && sameSteps,
            "the options loaded are saved and loaded back unchanged");
    Require(reloaded.vidText == loaded.vidText && reloaded.pidText == loaded.pidText,
            "the ID texts are saved and loaded back unchanged");
    return 0;
}
