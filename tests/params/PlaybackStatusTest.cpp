// The Information page's status texts, and the status read as the simulated chip receives it.
#include "SimDeviceTest.h"
#include "chip/PlaybackStatus.h"

namespace {

using namespace params_test;

struct Shown {
    std::string connection;
    bool muteEnabled;
    std::string mute;  // "" when the label keeps its text
    bool streamEnabled;
    std::string format;
    std::string rate;
    bool operator==(const Shown&) const = default;
};

Shown Describe(std::uint8_t flags, std::uint8_t rateCode) {
    const qv::StatusLabels labels = qv::DescribeStatus({rateCode, 0xFF, flags});
    return {std::string(labels.connection),          labels.muteEnabled,
            std::string(labels.mute.value_or("")),   labels.streamEnabled,
            std::string(labels.format.value_or("")), std::string(labels.rate.value_or(""))};
}

TEST(DescribeStatus, TextsAndGreyedLabelsForEachStreamState) {
    EXPECT_EQ(Describe(0x01, 0x04),
              (Shown{"USB connected", true, "Playing", true, "PCM", "176.4KHz"}));
    EXPECT_EQ(Describe(0x03, 0x09),
              (Shown{"USB connected", true, "Playing", true, "DSD", " DSD 128"}));
    EXPECT_EQ(Describe(0x03, 0x01),
              (Shown{"USB connected", true, "Playing", true, "DSD", " DoP 128"}));
    EXPECT_EQ(Describe(0x05, 0x04), (Shown{"USB connected", true, "Mute", false, "", ""}));
    EXPECT_EQ(Describe(0x00, 0x04), (Shown{"USB Disconnected", false, "", false, "", ""}));
    EXPECT_EQ(Describe(0x04, 0x04), (Shown{"USB Disconnected", false, "", false, "", ""}));
    EXPECT_EQ(Describe(0xF9, 0x1C),
              (Shown{"USB connected", true, "Playing", true, "PCM", "        "}));
}

class StatusReadTest : public SimDeviceTest {};

TEST_F(StatusReadTest, ReadsTheThreeRegistersOfBankZeroInOrder) {
    chip->Playback().Stream() = {.connected = true, .muted = false, .dsd = true, .rateCode = 0x09};
    qv::DeviceStatus status;
    EXPECT_EQ(qv::ReadDeviceStatus(device, status), qv::Reply::Done);
    EXPECT_EQ(Requests(),
              (Lines{Write(0x00, 0x00), Read(0xA4, 0x09), Read(0xA5, 0x00), Read(0xA6, 0x03)}));
    EXPECT_EQ(status.rateCode, 0x09);
    EXPECT_EQ(status.flags, 0x03);
    EXPECT_EQ(host.OpenHandleCount(), 0u);

    host.Detach(*chip);
    EXPECT_NE(qv::ReadDeviceStatus(device, status), qv::Reply::Done);
    EXPECT_EQ(status.flags, 0x03);
}

}  // namespace
