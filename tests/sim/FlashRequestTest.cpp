// The flash requests and ISP mode as the chip answers them on endpoint 0.
#include <gtest/gtest.h>

#include "sim/DemoFirmware.h"
#include "sim/FaultChoice.h"
#include "sim/SimHost.h"
#include "sim/Trace.h"
#include "tests/support/TempDir.h"
#include "sim/SimChip.h"
#include "sim/TransferModel.h"

namespace {

using namespace qv::sim;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kEnterValue = 0x4B6E, kEnterIndex = 0x1F09;
constexpr std::uint16_t kLeaveValue = 0x2D7C, kLeaveIndex = 0x3E92;

class FlashRequestTest : public ::testing::Test {
protected:
    TransferResult Out(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                       const Bytes& data) {
        const qv::ControlSetup setup{outType, request, value, index,
                                     static_cast<std::uint32_t>(data.size())};
        return chip->Control(setup, data);
    }
    TransferResult In(std::uint8_t request, std::uint32_t length) {
        return chip->Control({inType, request, 0, 0, length}, {});
    }
    bool EnterIsp() { return Out(0x84, kEnterValue, kEnterIndex, {}).ok; }
    bool LeaveIsp() { return Out(0x85, kLeaveValue, kLeaveIndex, {}).ok; }
    // Asked a transfer's time after the request before it, as over USB.
    std::uint8_t Ready() {
        clock.Advance(1);
        const auto answer = In(0x83, 1);
        return answer.ok ? answer.data.at(0) : 0;
    }
    // 0x81 with the instruction, one ready poll, then 0x82 for the response.
    Bytes Collect(const Bytes& instruction, std::uint16_t count) {
        EXPECT_TRUE(Out(0x81, count, 1, instruction).ok);
        EXPECT_NE(Ready(), 0);
        return In(0x82, count).data;
    }

    SimClock clock;
    std::unique_ptr<SimChip> chip = std::make_unique<SimChip>(clock, UserDeviceIdentity());
    std::uint8_t outType = 0x43;
    std::uint8_t inType = 0xC3;
};

TEST_F(FlashRequestTest, IspModeSwitchesOnlyWithItsAccessCodes) {
    EXPECT_FALSE(Out(0x84, kEnterValue, kEnterIndex + 1, {}).ok);
    EXPECT_FALSE(Out(0x84, kEnterValue + 1, kEnterIndex, {}).ok);
    EXPECT_FALSE(Out(0x84, kLeaveValue, kLeaveIndex, {}).ok);
    EXPECT_FALSE(Out(0x84, kEnterValue, kEnterIndex, {0x00}).ok);
    EXPECT_FALSE(chip->Control({0xC3, 0x84, kEnterValue, kEnterIndex, 0}, {}).ok);
    EXPECT_FALSE(chip->InIspMode());

    EXPECT_TRUE(EnterIsp());
    EXPECT_TRUE(chip->InIspMode());
    EXPECT_FALSE(Out(0x85, kEnterValue, kEnterIndex, {}).ok);
    EXPECT_TRUE(chip->InIspMode());
    EXPECT_TRUE(LeaveIsp());
    EXPECT_FALSE(chip->InIspMode());
}

TEST_F(FlashRequestTest, TheUserDeviceRefusesFlashRequestsOutsideIspMode) {
    EXPECT_FALSE(Out(0x80, 0, 1, {0x06}).ok);
    EXPECT_FALSE(Out(0x81, 3, 1, {0x9F}).ok);
    EXPECT_FALSE(In(0x83, 1).ok);
    EXPECT_FALSE(In(0x82, 3).ok);

    ASSERT_TRUE(EnterIsp());
    EXPECT_EQ(Collect({0x9F}, 3), (Bytes{0xEF, 0x40, 0x14}));
    const Bytes demo = DemoFlashImage(DefaultFlashChip().sizeBytes);
    EXPECT_EQ(Collect({0x03, 0x00, 0x00, 0x00}, 4), Bytes(demo.begin(), demo.begin() + 4));
    ASSERT_TRUE(LeaveIsp());
    EXPECT_FALSE(In(0x82, 3).ok);
}

TEST_F(FlashRequestTest, TheFirmwareUpdateDeviceTakesFlashRequestsAtAnyTime) {
    chip = std::make_unique<SimChip>(clock, FirmwareUpdateIdentity(0x6B94));
    EXPECT_EQ(Collect({0x9F}, 3), (Bytes{0xEF, 0x40, 0x14}));
    EXPECT_EQ(Collect({0x03, 0x00, 0x00, 0x00}, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));  // blank
}

TEST_F(FlashRequestTest, APageProgramHoldsItsInstructionOpenAcrossTwoRequests) {
    outType = 0x20;  // as on the audio carrier
    inType = 0xA0;
    ASSERT_TRUE(EnterIsp());
    ASSERT_TRUE(Out(0x80, 0, 1, {0x06}).ok);
    ASSERT_TRUE(Out(0x80, 0, 0, {0x02, 0x00, 0x21, 0x00}).ok);
    ASSERT_TRUE(Out(0x80, 0, 1, {0x00, 0x11, 0x22}).ok);
    EXPECT_EQ(Collect({0x05}, 1), (Bytes{0x03}));  // programming, the latch set until it ends
    clock.AdvanceUs(chip->Flash().Chip().pageProgramUs);
    EXPECT_EQ(Collect({0x05}, 1), (Bytes{0x00}));
    EXPECT_EQ(Collect({0x03, 0x00, 0x21, 0x00}, 4), (Bytes{0x00, 0x11, 0x22, 0xFF}));

    // A read started while an instruction is open ends that instruction first.
    ASSERT_TRUE(Out(0x80, 0, 0, {0x06}).ok);
    EXPECT_EQ(Collect({0x05}, 1), (Bytes{0x02}));
}

TEST_F(FlashRequestTest, TheReadyByteAndTheCollectedResponse) {
    ASSERT_TRUE(EnterIsp());
    EXPECT_EQ(Ready(), 0);         // nothing asked yet
    EXPECT_FALSE(In(0x82, 1).ok);  // nothing collected yet
    ASSERT_TRUE(Out(0x81, 3, 1, {0x9F}).ok);
    EXPECT_NE(Ready(), 0);
    EXPECT_EQ(In(0x82, 3).data, (Bytes{0xEF, 0x40, 0x14}));
    EXPECT_EQ(In(0x82, 1).data, (Bytes{0xEF}));
    EXPECT_FALSE(In(0x82, 4).ok);  // more than was collected
}

TEST_F(FlashRequestTest, MalformedFlashRequestsStall) {
    ASSERT_TRUE(EnterIsp());
    EXPECT_FALSE(Out(0x80, 0, 1, {}).ok);
    EXPECT_FALSE(Out(0x80, 0, 1, Bytes(257, 0x00)).ok);
    EXPECT_FALSE(Out(0x80, 1, 1, {0x06}).ok);
    EXPECT_FALSE(Out(0x80, 0, 2, {0x06}).ok);
    EXPECT_FALSE(chip->Control({0xC3, 0x80, 0, 1, 1}, {}).ok);
    EXPECT_FALSE(Out(0x81, 0, 1, {0x9F}).ok);
    EXPECT_FALSE(Out(0x81, 256, 1, {0x9F}).ok);
    EXPECT_FALSE(Out(0x81, 3, 0, {0x9F}).ok);
    EXPECT_FALSE(Out(0x81, 3, 1, {0x9F, 0x00}).ok);
    EXPECT_FALSE(In(0x83, 2).ok);
    EXPECT_FALSE(Out(0x83, 0, 0, {0x00}).ok);
    EXPECT_EQ(Collect({0x05}, 1), (Bytes{0x00}));  // none of them reached the flash
}

TEST_F(FlashRequestTest, ReadyPollFaults) {
    ASSERT_TRUE(EnterIsp());
    chip->Faults().flashNeverReady = true;
    ASSERT_TRUE(Out(0x81, 3, 1, {0x9F}).ok);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(Ready(), 0);
    chip->Faults().flashNeverReady = false;

    chip->Faults().flashReadyAfterPolls = 2;
    for (int request = 0; request < 2; ++request) {  // counted afresh after each request
        ASSERT_TRUE(Out(0x81, 3, 1, {0x9F}).ok);
        EXPECT_EQ(Ready(), 0);
        EXPECT_EQ(Ready(), 0);
        EXPECT_NE(Ready(), 0);
    }
}

// The SPI master clocks the instruction, its address and the response out before it says
// ready: 259 bytes at 12 MHz take 172.7 us.
TEST_F(FlashRequestTest, TheReadyByteWaitsForTheSpiClocking) {
    ASSERT_TRUE(EnterIsp());
    ASSERT_TRUE(Out(0x81, 255, 1, {0x03, 0x00, 0x00, 0x00}).ok);
    clock.AdvanceUs(172);
    EXPECT_EQ(In(0x83, 1).data, Bytes{0});
    clock.AdvanceUs(1);
    EXPECT_EQ(In(0x83, 1).data, Bytes{1});
}

// A transfer costs the host's turnaround and its packets' bus time (setup, data in 64-byte
// pieces, status), and no less than its share of a bus other boards keep busy.
TEST(TransferModel, ATransferCostsItsTurnaroundAndItsPacketsOnTheBus) {
    struct Case {
        const TransferModel& model;
        std::uint32_t bytes;
        unsigned boards;
        std::uint64_t ns;
    };
    const Case cases[] = {
        {kHighSpeedModel, 1, 1, 127'942},   {kHighSpeedModel, 64, 1, 129'166},
        {kHighSpeedModel, 65, 1, 130'108},  {kHighSpeedModel, 255, 1, 135'646},
        {kFullSpeedModel, 1, 1, 1'035'007}, {kFullSpeedModel, 64, 1, 1'084'129},
        {kFullSpeedModel, 65, 1, 1'094'238}, {kFullSpeedModel, 255, 1, 1'261'070},
        {kHighSpeedModel, 255, 8, 135'646},   // eight boards' packets fit in a microframe
        {kFullSpeedModel, 255, 8, 2'088'560},  // at full speed they fill the frames
    };
    for (const Case& c : cases)
        EXPECT_EQ(TransferCostNs(c.model, c.bytes, c.boards), c.ns)
            << (c.model.speed == UsbSpeed::High ? "high " : "full ") << c.bytes << " bytes, "
            << c.boards << " boards";
}

// A one-shot fault acts on the transfer it names, counted from 1, and on no other.
TEST(OneShotFaults, ActOnTheTransferTheyNameAlone) {
    SimHost host;
    const auto chip = host.AttachNew(UserDeviceIdentity());
    ArmFault(host, *chip, *ParseFaultChoice("flip-once@3"));
    ArmFault(host, *chip, *ParseFaultChoice("timeout-once@5"));
    const std::uint8_t stored = chip->Register(0, 0x10);
    std::string seen;
    for (int transfer = 1; transfer <= 6; ++transfer) {
        const TransferResult answer = chip->Control({0xC0, SimChip::kRegisterRead, 0, 0x10, 1}, {});
        seen += !answer.ok ? "-" : answer.data.at(0) == stored ? "=" : "x";
    }
    EXPECT_EQ(seen, "==x=-=");
}

// A trace whose file cannot be made when the first transfer comes says so: the run is not
// reported as traced.
TEST(Trace, AFileThatCannotBeMadeAtTheFirstTransferIsAFailure) {
    TempDir folder;
    const auto inner = folder.Path("gone");
    std::filesystem::create_directory(inner);
    Trace trace;
    ASSERT_TRUE(trace.WriteTo((inner / "run.trace").string()));
    std::filesystem::remove(inner);
    trace.Write("1 K PROBE OK");
    trace.Write("2 K PROBE OK");
    EXPECT_TRUE(trace.Failed());
}

}  // namespace
