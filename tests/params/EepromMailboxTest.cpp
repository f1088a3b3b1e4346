// The EEPROM parameter mailbox as the simulated firmware receives it: register order, polls,
// and what reaches the EEPROM and comes back from it.
#include "SimDeviceTest.h"
#include "chip/EepromMailbox.h"
#include "chip/ParameterRequests.h"

namespace {

using namespace params_test;

class EepromMailboxTest : public SimDeviceTest {};

TEST_F(EepromMailboxTest, OptionWriteSendsAllFourBytesBeforeTheCommandAndClearsIt) {
    qv::OptionBlock block;
    block.bytes = {0xB5, 0xE0, 0x7F, 0x80};  // with bits and bytes the tool does not use
    static_cast<void>(qv::WriteOptionBlock(device, block));
    EXPECT_EQ(Requests(), ParameterWrite(0x20, 0x00, {0xB5, 0xE0, 0x7F, 0x80}));
    EXPECT_EQ(chip->Mailbox().Eeprom().options, block.bytes);
    EXPECT_EQ(host.OpenHandleCount(), 0u);
}

TEST_F(EepromMailboxTest, OptionReadCollectsTheWindowAfterTheAnswerAndLeavesTheCommand) {
    chip->Mailbox().Eeprom().options = {0x9F, 0x1F, 0x42, 0x01};
    qv::OptionBlock block;
    static_cast<void>(qv::ReadOptionBlock(device, block));
    EXPECT_EQ(Requests(), (Lines{Write(0x00, 0x00), Write(0x91, 0x21), Write(0x92, 0x00),
                                 Write(0x90, 0x10), Read(0x90, 0xEE), Read(0x93, 0x9F),
                                 Read(0x94, 0x1F), Read(0x95, 0x42), Read(0x96, 0x81)}));
    EXPECT_EQ(block.bytes, (std::array<std::uint8_t, 4>{0x9F, 0x1F, 0x42, 0x81}));
    EXPECT_TRUE(block.Get(qv::OptionFlag::EepromPresent));
    EXPECT_EQ(host.OpenHandleCount(), 0u);
}

TEST_F(EepromMailboxTest, EachPollFollowsATenMillisecondWait) {
    qv::OptionBlock block;
    static_cast<void>(
        qv::ReadOptionBlock(device, block));  // the firmware answers well within the first wait
    EXPECT_EQ(std::ranges::count(Requests(), Read(0x90, 0xEE)), 1);
    EXPECT_EQ(ElapsedMs(), 10u);

    Restart();
    chip->Mailbox().SetAnswerDelayUs(35'000);
    static_cast<void>(qv::ReadOptionBlock(device, block));
    EXPECT_EQ(std::ranges::count(Requests(), Read(0x90, 0x10)), 3);
    EXPECT_EQ(std::ranges::count(Requests(), Read(0x90, 0xEE)), 1);
    EXPECT_EQ(ElapsedMs(), 40u);
}

TEST_F(EepromMailboxTest, SilentFirmwareCostsTwentyPollsAndTheReadStillCollectsTheWindow) {
    chip->Mailbox().SetNeverAnswers(true);
    qv::OptionBlock block;
    block.bytes = {0x11, 0x22, 0x33, 0x44};
    static_cast<void>(qv::WriteOptionBlock(device, block));
    EXPECT_EQ(std::ranges::count(Requests(), Read(0x90, 0x10)), 20);
    EXPECT_EQ(Requests().back(), Write(0x90, 0x00));
    EXPECT_EQ(ElapsedMs(), 200u);

    Restart();
    static_cast<void>(
        qv::ReadOptionBlock(device, block));  // the window still holds what was written
    const Lines requests = Requests();
    ASSERT_EQ(requests.size(), 4u + 20u + 4u);
    EXPECT_EQ(Lines(requests.end() - 4, requests.end()),
              (Lines{Read(0x93, 0x11), Read(0x94, 0x22), Read(0x95, 0x33), Read(0x96, 0x44)}));
}

TEST_F(EepromMailboxTest, CountZeroTouchesNoDataRegisterButStillRunsTheCommand) {
    EXPECT_EQ(qv::EepromMailbox(device, 0x10, 0x20, 0x00, {}), qv::Reply::Done);
    EXPECT_EQ(Requests(), ParameterWrite(0x20, 0x00, {}));
}

TEST_F(EepromMailboxTest, WithoutADeviceTheReadKeepsTheDataAndReportsNoCompletion) {
    host.Detach(*chip);
    std::uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_NE(qv::EepromMailbox(device, 0x10, 0x21, 0x00, data), qv::Reply::Done);
    EXPECT_EQ(std::vector<std::uint8_t>(data, data + 4), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

}  // namespace
