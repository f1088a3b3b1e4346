// Loading and saving the four values, against a store kept in memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "settings/Settings.h"

namespace {

class MemoryStore : public qv::SettingsStore {
public:
    bool exists = false;
    bool writable = true;
    std::map<std::string, std::uint32_t> numbers;
    std::map<std::string, std::string> texts;

    bool OpenForReading() override { return exists; }
    bool OpenForWriting() override { return writable && (exists = true); }
    std::optional<std::uint32_t> ReadNumber(const std::string& name) override {
        const auto found = numbers.find(name);
        return found == numbers.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::string> ReadText(const std::string& name) override {
        const auto found = texts.find(name);
        return found == texts.end() ? std::nullopt : std::optional(found->second);
    }
    void WriteNumber(const std::string& name, std::uint32_t value) override {
        numbers[name] = value;
    }
    void WriteText(const std::string& name, const std::string& value) override {
        texts[name] = value;
    }
    void Close() override {}
};

qv::SettingsToSave AllOn(const char* start, const char* size) {
    qv::SettingsToSave save;
    save.isp.startText = start;
    save.isp.sizeText = size;
    save.programFileText = "";
    save.vidText = "6b94";
    save.pidText = "F82D";
    return save;
}

TEST(Settings, FirstRunKeepsTheDesignStatesAndTheDefaultIds) {
    MemoryStore store;
    const auto loaded = qv::LoadSettings(store);
    EXPECT_FALSE(loaded.stored);
    EXPECT_TRUE(loaded.isp.steps.protect);
    EXPECT_EQ(loaded.isp.startText, "32");
    EXPECT_EQ(loaded.isp.sizeText, "32");
    EXPECT_EQ(loaded.vidText, "6b94");
    EXPECT_EQ(loaded.pidText, "F82D");
    EXPECT_EQ(loaded.programFileName, "");
}

TEST(Settings, MissingOrEmptyValuesFallBackToTheirDefaults) {
    MemoryStore store;
    store.exists = true;
    store.texts["UsbVIDSet"] = "";
    store.texts["UsbPIDSet"] = "ab12";
    const auto loaded = qv::LoadSettings(store);
    EXPECT_TRUE(loaded.stored);
    EXPECT_FALSE(loaded.isp.steps.protect);
    EXPECT_TRUE(loaded.isp.steps.verify);
    EXPECT_TRUE(loaded.isp.wholeFlash);
    EXPECT_EQ(loaded.isp.startText, "64");
    EXPECT_EQ(loaded.isp.sizeText, "64");
    EXPECT_EQ(loaded.vidText, "6b94");
    EXPECT_EQ(loaded.pidText, "ab12");
}

TEST(Settings, RangeAndOptionsRoundTripWithTheDocumentedArithmetic) {
    MemoryStore store;
    qv::SaveSettings(store, AllOn("40", "2040"));
    EXPECT_EQ(store.numbers["ISPSetting"], 0x0005FFFFu);
    auto loaded = qv::LoadSettings(store);
    EXPECT_EQ(loaded.isp.startText, "40");
    EXPECT_EQ(loaded.isp.sizeText, "2040");
    EXPECT_TRUE(loaded.isp.steps.protect && loaded.isp.wholeFlash);

    // A size of 2048 KB carries into the start field; 20 KB comes back as 16.
    auto carry = AllOn("0", "2048");
    carry.isp.steps.protect = false;
    carry.isp.wholeFlash = false;
    qv::SaveSettings(store, carry);
    EXPECT_EQ(store.numbers["ISPSetting"], 0x00010000u | 0x7Du);
    loaded = qv::LoadSettings(store);
    EXPECT_EQ(loaded.isp.startText, "8");
    EXPECT_EQ(loaded.isp.sizeText, "0");
    EXPECT_FALSE(loaded.isp.wholeFlash);
    EXPECT_FALSE(loaded.isp.steps.protect);
    qv::SaveSettings(store, AllOn("20", "8"));
    EXPECT_EQ(qv::LoadSettings(store).isp.startText, "16");
}

TEST(Settings, NonNumericRangeKeepsTheStoredSettingAndSavesTheRest) {
    MemoryStore store;
    store.numbers["ISPSetting"] = 0x00080881;
    auto save = AllOn("abc", "64");
    save.vidText = std::string(300, 'a');  // texts of any length are kept whole
    qv::SaveSettings(store, save);
    EXPECT_EQ(store.numbers["ISPSetting"], 0x00080881u);
    EXPECT_EQ(qv::LoadSettings(store).vidText, std::string(300, 'a'));
}

TEST(Settings, StoreThatCannotBeWrittenSavesNothing) {
    MemoryStore store;
    store.writable = false;
    qv::SaveSettings(store, AllOn("40", "2040"));
    EXPECT_TRUE(store.numbers.empty());
    EXPECT_TRUE(store.texts.empty());
}

TEST(Settings, ProgramFileIsRestoredOnlyWhileItStillOpens) {
    const auto path = std::filesystem::temp_directory_path() / "qv-settings-program.bin";
    std::ofstream(path) << "x";
    MemoryStore store;
    auto save = AllOn("64", "64");
    save.programFileText = path.string();
    qv::SaveSettings(store, save);
    EXPECT_EQ(qv::LoadSettings(store).programFileName, path.string());
    std::filesystem::remove(path);
    EXPECT_EQ(qv::LoadSettings(store).programFileName, "");
}

}  // namespace
