// Register and flash requests as the simulated chip receives them, read from the trace.
#include <gtest/gtest.h>

#include <array>

#include "chip/FlashOperations.h"
#include "chip/FlashRequests.h"
#include "chip/Registers.h"
#include "sim/SimHost.h"

namespace {

using Lines = std::vector<std::string>;

// A firmware-update device on the generic carrier: flash requests are accepted without ISP
// mode and the trace shows the request types as sent.
class ChipRequestsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.FindDevice());
        ASSERT_TRUE(device.Open());
        host.GetTrace().KeepLines(true);
    }
    const Lines& Trace() { return host.GetTrace().Lines(); }
    void NeverReady() { chip->Faults().stalledRequests.insert(0x83); }

    qv::sim::SimHost host;
    std::shared_ptr<qv::sim::SimChip> chip =
        host.AttachNew(qv::sim::FirmwareUpdateIdentity(0x4D17));
    qv::QuorvexUsb device{host};
};

TEST_F(ChipRequestsTest, FailedRegisterReadLeavesTheByteAndClosedDeviceSendsNothing) {
    std::uint8_t value = 0x66;
    chip->Faults().stalledRequests.insert(0x91);
    EXPECT_FALSE(qv::ReadRegister(device, 0xA4, value));
    EXPECT_EQ(value, 0x66);
    device.Close();
    EXPECT_FALSE(qv::WriteRegister(device, 0x10, 1));
    EXPECT_EQ(Trace(), Lines{"1 D IN C3 91 0000 00A4 1 FAIL -"});
}

TEST_F(ChipRequestsTest, IspModeSwitchWritesItsRegistersEvenWhenRefused) {
    chip->Faults().stalledRequests = {0x84, 0x85};
    EXPECT_FALSE(qv::SetIspMode(device, qv::IspMode::Enter));
    EXPECT_FALSE(qv::SetIspMode(device, qv::IspMode::Leave));
    EXPECT_EQ(Trace(), (Lines{
                           "1 D OUT 43 84 4B6E 1F09 0 FAIL -",
                           "2 D OUT 43 90 0000 0000 1 OK 0D",
                           "3 D OUT 43 90 0000 0007 1 OK 10",
                           "4 D OUT 43 90 0000 0001 1 OK 03",
                           "5 D OUT 43 85 2D7C 3E92 0 FAIL -",
                           "6 D OUT 43 90 0000 0000 1 OK 0D",
                           "7 D OUT 43 90 0000 0007 1 OK 00",
                       }));
}

TEST_F(ChipRequestsTest, ChipIdThatNeverGetsReadyIsNotFetchedAndKeepsTheOldId) {
    NeverReady();
    qv::FlashContext flash;
    flash.ChipId = {1, 2, 3};
    EXPECT_FALSE(qv::ReadChipId(device, flash));
    EXPECT_EQ(flash.ChipId, (std::array<std::uint8_t, 3>{1, 2, 3}));
    ASSERT_EQ(Trace().size(), 101u);  // the read, 100 polls, no fetch
    EXPECT_EQ(Trace()[0], "1 D OUT 43 81 0003 0001 1 OK 9F");
    EXPECT_EQ(Trace()[100], "101 D IN C3 83 0000 0000 1 FAIL -");
}

TEST_F(ChipRequestsTest, StatusThatNeverGetsReadyReadsAsBusyAfterTenPolls) {
    NeverReady();
    EXPECT_EQ(qv::ReadFlashStatus(device), 0xFF);
    ASSERT_EQ(Trace().size(), 11u);
    EXPECT_EQ(Trace()[0], "1 D OUT 43 81 0001 0001 1 OK 05");
}

// A refused collect request leaves the chip holding the previous instruction's answer, ready to
// be fetched: the identification and the status then read as failed, never as that answer.
TEST_F(ChipRequestsTest, ARefusedCollectRequestIsAFailedReadNotThePreviousAnswer) {
    std::array<std::uint8_t, 64> block{};
    ASSERT_TRUE(qv::ReadFlashData(device, 0, block));  // an erased flash: FF FF FF ...
    chip->Faults().stalledRequests = {0x81};
    qv::FlashContext flash;
    flash.ChipId = {1, 2, 3};
    EXPECT_FALSE(qv::ReadChipId(device, flash));
    EXPECT_EQ(flash.ChipId, (std::array<std::uint8_t, 3>{1, 2, 3}));

    chip->Faults().stalledRequests.clear();
    ASSERT_EQ(qv::ReadFlashStatus(device), 0x00);  // idle
    chip->Faults().stalledRequests = {0x81};
    EXPECT_EQ(qv::ReadFlashStatus(device), 0xFF);  // busy, as a status that cannot be read
}

TEST_F(ChipRequestsTest, ReadDataPausesOneMillisecondAfterEachMissedPoll) {
    NeverReady();
    std::uint8_t buffer[64];
    const auto before = host.NowMs();
    EXPECT_FALSE(qv::ReadFlashData(device, 0x012345, buffer));
    EXPECT_GE(host.NowMs() - before, 100u);
    ASSERT_EQ(Trace().size(), 101u);
    EXPECT_EQ(Trace()[0], "1 D OUT 43 81 0040 0001 4 OK 03012345");

    chip->Faults().stalledRequests = {0x81};
    host.GetTrace().ClearLines();
    EXPECT_FALSE(qv::ReadFlashData(device, 0, buffer));
    EXPECT_EQ(Trace().size(), 1u);  // a refused read is not polled
}

TEST_F(ChipRequestsTest, PageProgramSendsBothPhasesWhateverTheFirstReturned) {
    chip->Faults().stalledRequests = {0x80};
    const std::uint8_t data[3] = {0xDE, 0xAD, 0x01};
    EXPECT_FALSE(qv::ProgramFlashPage(device, 0x0A0100, data));
    EXPECT_EQ(Trace(), (Lines{
                           "1 D OUT 43 80 0000 0000 4 FAIL -",
                           "2 D OUT 43 80 0000 0001 3 FAIL -",
                       }));
}

TEST_F(ChipRequestsTest, SingleInstructionsCarryTheirArguments) {
    qv::WriteEnable(device);
    qv::WriteDisable(device);
    qv::WriteFlashStatus(device, 0x8C);
    qv::EraseSector(device, 0x0F1234);
    qv::EraseChip(device);
    ASSERT_EQ(Trace().size(), 5u);
    EXPECT_EQ(Trace()[0].substr(2), "D OUT 43 80 0000 0001 1 OK 06");
    EXPECT_EQ(Trace()[1].substr(2), "D OUT 43 80 0000 0001 1 OK 04");
    EXPECT_EQ(Trace()[2].substr(2), "D OUT 43 80 0000 0001 2 OK 018C");
    EXPECT_EQ(Trace()[3].substr(2), "D OUT 43 80 0000 0001 4 OK 200F1234");
    EXPECT_EQ(Trace()[4].substr(2), "D OUT 43 80 0000 0001 1 OK C7");
}

TEST(FlashPageSize, ThirtyTwoBytesOnlyForTheC222Family) {
    EXPECT_EQ(qv::PageSizeFor({0xC2, 0x22, 0x14}), 32);
    EXPECT_EQ(qv::PageSizeFor({0xC2, 0x20, 0x14}), 256);
    EXPECT_EQ(qv::PageSizeFor({0xEF, 0x22, 0x14}), 256);
}

}  // namespace
