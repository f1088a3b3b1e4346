// Register and flash requests as the simulated chip receives them, read from the trace.
#include <gtest/gtest.h>

#include <array>

#include "chip/FlashOperations.h"
#include "chip/FlashParts.h"
#include "chip/FlashRequests.h"
#include "chip/Registers.h"
#include "common/HexFormat.h"
#include "sim/SimHost.h"

namespace {

using Lines = std::vector<std::string>;

// A firmware-update device on the generic carrier: flash requests are accepted without ISP
// mode and the trace shows the request types as sent.
class ChipRequestsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.FindDevice());
        ASSERT_EQ(device.Open(), qv::Reply::Done);
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
    EXPECT_NE(qv::ReadRegister(device, 0xA4, value), qv::Reply::Done);
    EXPECT_EQ(value, 0x66);
    device.Close();
    EXPECT_NE(qv::WriteRegister(device, 0x10, 1), qv::Reply::Done);
    EXPECT_EQ(Trace(), Lines{"1 D IN C3 91 0000 00A4 1 FAIL -"});
}

TEST_F(ChipRequestsTest, IspModeSwitchWritesItsRegistersEvenWhenRefused) {
    chip->Faults().stalledRequests = {0x84, 0x85};
    EXPECT_EQ(qv::SetIspMode(device, qv::IspMode::Enter), qv::Reply::Refused);
    EXPECT_EQ(qv::SetIspMode(device, qv::IspMode::Leave), qv::Reply::Refused);
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
    EXPECT_EQ(qv::ReadChipId(device, flash), qv::Reply::NotReady);
    EXPECT_EQ(flash.ChipId, (std::array<std::uint8_t, 3>{1, 2, 3}));
    ASSERT_EQ(Trace().size(), 101u);  // the read, 100 polls, no fetch
    EXPECT_EQ(Trace()[0], "1 D OUT 43 81 0003 0001 1 OK 9F");
    EXPECT_EQ(Trace()[100], "101 D IN C3 83 0000 0000 1 FAIL -");
}

TEST_F(ChipRequestsTest, StatusThatNeverGetsReadyIsNoStatusAfterTenPolls) {
    NeverReady();
    EXPECT_EQ(qv::ReadFlashStatus(device).reply, qv::Reply::NotReady);
    ASSERT_EQ(Trace().size(), 11u);
    EXPECT_EQ(Trace()[0], "1 D OUT 43 81 0001 0001 1 OK 05");
}

// A refused collect request leaves the chip holding the previous instruction's answer, ready to
// be fetched: the identification and the status then read as failed, never as that answer.
TEST_F(ChipRequestsTest, ARefusedCollectRequestIsAFailedReadNotThePreviousAnswer) {
    std::array<std::uint8_t, 64> block{};
    ASSERT_EQ(qv::ReadFlashData(device, 0, block), qv::Reply::Done);  // erased: FF FF FF ...
    chip->Faults().stalledRequests = {0x81};
    qv::FlashContext flash;
    flash.ChipId = {1, 2, 3};
    EXPECT_EQ(qv::ReadChipId(device, flash), qv::Reply::Refused);
    EXPECT_EQ(flash.ChipId, (std::array<std::uint8_t, 3>{1, 2, 3}));

    chip->Faults().stalledRequests.clear();
    const auto idle = qv::ReadFlashStatus(device);
    ASSERT_TRUE(idle.Ok());
    EXPECT_EQ(idle.value, 0x00);
    chip->Faults().stalledRequests = {0x81};
    EXPECT_EQ(qv::ReadFlashStatus(device).reply, qv::Reply::Refused);
}

TEST_F(ChipRequestsTest, ReadDataPausesOneMillisecondAfterEachMissedPoll) {
    NeverReady();
    std::uint8_t buffer[64];
    const auto before = host.NowMs();
    EXPECT_EQ(qv::ReadFlashData(device, 0x012345, buffer), qv::Reply::NotReady);
    EXPECT_GE(host.NowMs() - before, 100u);
    ASSERT_EQ(Trace().size(), 101u);
    EXPECT_EQ(Trace()[0], "1 D OUT 43 81 0040 0001 4 OK 03012345");

    chip->Faults().stalledRequests = {0x81};
    host.GetTrace().ClearLines();
    EXPECT_EQ(qv::ReadFlashData(device, 0, buffer), qv::Reply::Refused);
    EXPECT_EQ(Trace().size(), 1u);  // a refused read is not polled
}

// The data goes out only after its address phase: without it, the page's first byte would
// reach the flash as an instruction. A refused data phase fails the page, and the instruction
// it left open is ended by a collect request before anything else is sent.
TEST_F(ChipRequestsTest, PageProgramSendsDataOnlyAfterItsAddressAndEndsAFailedPage) {
    const std::uint8_t data[3] = {0xDE, 0xAD, 0x01};
    const std::uint64_t probed = 1;  // the device descriptor, when the device was found
    chip->Faults().stalledTransfers = {probed + 1};
    EXPECT_EQ(qv::ProgramFlashPage(device, 0x0A0100, data), qv::Reply::Refused);
    EXPECT_EQ(Trace(), Lines{"1 D OUT 43 80 0000 0000 4 FAIL -"});
    chip->Faults().stalledTransfers = {probed + 3};
    EXPECT_EQ(qv::ProgramFlashPage(device, 0x0A0100, data), qv::Reply::Refused);
    EXPECT_EQ(std::vector(Trace().begin() + 1, Trace().end()),
              (Lines{"2 D OUT 43 80 0000 0000 4 OK 020A0100", "3 D OUT 43 80 0000 0001 3 FAIL -",
                     "4 D OUT 43 81 0001 0001 1 OK 05"}));
}

// What a request that did not go through was: a device that was closed or unplugged is gone,
// a chip that answers nothing within the timeout did not answer, a short fetch is short.
TEST_F(ChipRequestsTest, EachFailedRequestSaysWhatBecameOfIt) {
    std::uint8_t status = 0;
    EXPECT_EQ(qv::WriteEnable(device), qv::Reply::Done);
    chip->Faults().shortFetches = true;
    ASSERT_EQ(qv::StartFlashRead(device, 0x9F, 3), qv::Reply::Done);
    std::uint8_t id[3];
    EXPECT_EQ(qv::FetchFlashResponse(device, id), qv::Reply::Short);
    chip->Faults().silent = true;
    EXPECT_EQ(qv::WriteEnable(device), qv::Reply::NoAnswer);
    EXPECT_FALSE(device.Unanswering());
    static_cast<void>(qv::WriteEnable(device));
    static_cast<void>(qv::WriteEnable(device));
    EXPECT_TRUE(device.Unanswering());
    device.Close();
    EXPECT_EQ(qv::FetchFlashResponse(device, std::span(&status, 1)), qv::Reply::Gone);
    EXPECT_TRUE(device.Gone());
    chip->Faults().silent = false;
    // The silence belongs to the board, not the handle: opening it again does not forget it;
    // an answer, or a search that finds the device anew, does.
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    EXPECT_TRUE(device.Unanswering());
    EXPECT_EQ(qv::WriteEnable(device), qv::Reply::Done);
    EXPECT_FALSE(device.Unreachable());
    chip->Faults().silent = true;
    for (int i = 0; i < 3; ++i) static_cast<void>(qv::WriteEnable(device));
    chip->Faults().silent = false;
    ASSERT_TRUE(device.FindDevice());
    EXPECT_FALSE(device.Unreachable());
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    host.Detach(*chip);
    EXPECT_EQ(qv::WriteEnable(device), qv::Reply::Gone);
}

TEST_F(ChipRequestsTest, SingleInstructionsCarryTheirArguments) {
    static_cast<void>(qv::WriteEnable(device));
    static_cast<void>(qv::WriteDisable(device));
    static_cast<void>(qv::WriteFlashStatus(device, 0x8C));
    static_cast<void>(qv::EraseSector(device, 0x0F1234));
    static_cast<void>(qv::EraseChip(device));
    ASSERT_EQ(Trace().size(), 5u);
    EXPECT_EQ(Trace()[0].substr(2), "D OUT 43 80 0000 0001 1 OK 06");
    EXPECT_EQ(Trace()[1].substr(2), "D OUT 43 80 0000 0001 1 OK 04");
    EXPECT_EQ(Trace()[2].substr(2), "D OUT 43 80 0000 0001 2 OK 018C");
    EXPECT_EQ(Trace()[3].substr(2), "D OUT 43 80 0000 0001 4 OK 200F1234");
    EXPECT_EQ(Trace()[4].substr(2), "D OUT 43 80 0000 0001 1 OK C7");
}

// The parts the table knows, and what an identification it does not know gets: the capacity
// its third byte names (else the 24-bit address space), 32-byte pages only for C2 22, and
// block-protect bits 2 to 4.
TEST(FlashParts, KnownPartsAndTheFallbacksOfAnUnknownId) {
    struct Case {
        std::array<std::uint8_t, 3> id;
        std::uint32_t capacity;
        std::uint16_t pageSize;
        std::uint8_t protectMask;
        std::uint32_t chipEraseMaxMs;
    };
    const Case cases[] = {
        {{0xEF, 0x40, 0x14}, 1u << 20, 256, 0x1C, 6'000},
        {{0xC2, 0x22, 0x11}, 128u << 10, 32, 0x0C, 2'000},
        {{0xEF, 0x40, 0x15}, 2u << 20, 256, 0x1C, 25'000},
        {{0xC2, 0x22, 0x14}, 1u << 20, 32, 0x1C, 20'000},      // unknown: 40 s per 2 MB
        {{0xEF, 0x22, 0x13}, 512u << 10, 256, 0x1C, 10'000},   // at least 10 s
        {{0x12, 0x34, 0x18}, 16u << 20, 256, 0x1C, 320'000},   // the largest code: 16 MB
        {{0x00, 0x00, 0x00}, 16u << 20, 256, 0x1C, 10'000},    // no size to tell
        {{0xFF, 0xFF, 0xFF}, 16u << 20, 256, 0x1C, 10'000},
    };
    for (const Case& c : cases) {
        const qv::FlashPart part = qv::PartFor(c.id);
        EXPECT_EQ(part.capacity, c.capacity) << qv::Hex2(c.id[0]) << qv::Hex2(c.id[2]);
        EXPECT_EQ(part.pageSize, c.pageSize) << qv::Hex2(c.id[0]) << qv::Hex2(c.id[2]);
        EXPECT_EQ(qv::PageSizeFor(c.id), c.pageSize);
        EXPECT_EQ(part.blockProtectMask, c.protectMask) << qv::Hex2(c.id[0]) << qv::Hex2(c.id[2]);
        EXPECT_EQ(part.chipEraseMaxMs, c.chipEraseMaxMs) << qv::Hex2(c.id[0]) << qv::Hex2(c.id[2]);
    }
}

}  // namespace
