// The registry store against the real registry (on Windows, or under Wine).
#include <gtest/gtest.h>

#include "settings/RegistryStore.h"
#include "settings/Settings.h"

namespace {

TEST(RegistryStore, SettingsRoundTripWithTextsOfAnyLength) {
    qv::RegistryStore store;
    qv::SettingsToSave save;
    save.isp.startText = "40";
    save.isp.sizeText = "2040";
    save.programFileText = "C:\\firmware\\" + std::string(300, 'f') + ".bin";
    save.vidText = "1234";
    save.pidText = "abcd";
    qv::SaveSettings(store, save);

    ASSERT_TRUE(store.OpenForReading());
    EXPECT_EQ(store.ReadNumber("ISPSetting"), 0x0005FFFFu);
    EXPECT_EQ(store.ReadText("ISPFileName"), save.programFileText);
    EXPECT_EQ(store.ReadText("UsbPIDSet"), "abcd");
    EXPECT_FALSE(store.ReadNumber("UsbVIDSet"));  // a text is not a number
    EXPECT_FALSE(store.ReadText("NoSuchValue"));
    store.Close();

    const qv::LoadedSettings loaded = qv::LoadSettings(store);
    EXPECT_EQ(loaded.vidText, "1234");
    EXPECT_EQ(loaded.isp.startText, "40");
    EXPECT_EQ(loaded.isp.sizeText, "2040");
}

}  // namespace
