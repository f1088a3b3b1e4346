// The HID key mailbox as the simulated firmware receives it.
#include "SimDeviceTest.h"
#include "chip/HidKeys.h"

namespace {

using namespace params_test;

class HidKeyTest : public SimDeviceTest {};

TEST_F(HidKeyTest, VolumeUpGoesToTheMailboxAndIsTakenWithoutARelease) {
    EXPECT_EQ(qv::SendHidKey(device, qv::HidKeyCodes[3]), qv::Reply::Done);
    EXPECT_EQ(Requests(),
              (Lines{Write(0x00, 0x00), Write(0x91, 0x01), Write(0x90, 0x30), Read(0x90, 0x31)}));
    EXPECT_EQ(chip->Mailbox().HidKeys(), (std::vector<std::uint8_t>{0x01}));
    EXPECT_EQ(host.OpenHandleCount(), 0u);
}

TEST_F(HidKeyTest, KeyNotTakenIsGivenUpAfterTenPolls) {
    chip->Mailbox().SetNeverAnswers(true);
    EXPECT_NE(qv::SendHidKey(device, qv::HidKeyCodes[0]), qv::Reply::Done);
    EXPECT_EQ(std::ranges::count(Requests(), Read(0x90, 0x30)), 10);
    EXPECT_EQ(Requests().size(), 3u + 10u);
    EXPECT_EQ(ElapsedMs(), 100u);
    EXPECT_TRUE(chip->Mailbox().HidKeys().empty());
}

}  // namespace
