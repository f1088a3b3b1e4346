// Several simulated chips programmed at once, one device object and thread each.
#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <map>

#include "device/DeviceMatch.h"
#include "isp/GangFlash.h"
#include "isp/Station.h"
#include "sim/SimHost.h"
#include "tests/support/TempDir.h"

namespace {

// A station's front for tests: counts what it is told and stops when told to.
struct TestFront : qv::StationFront {
    std::vector<qv::StationBoard> judged;
    std::function<bool(const std::vector<qv::SlotSnapshot>&)> stopWhen;
    std::vector<qv::SlotSnapshot> lastShown;
    int polls = 0;

    void BoardJudged(const qv::StationBoard& board) override { judged.push_back(board); }
    void Show(const std::vector<qv::SlotSnapshot>& slots) override {
        lastShown = slots;
        ++polls;
    }
    bool StopRequested() override { return stopWhen && stopWhen(lastShown); }
};

qv::ProgramFile StationImage(std::size_t size) {
    qv::ProgramFile image;
    for (std::size_t i = 0; i < size; ++i)
        image.ProgramImage.Bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    image.ProgramImage.LoadedLength = static_cast<std::uint32_t>(size);
    image.RangeStart = 0;
    return image;
}

// Three ports, four boards each from the simulated operator; one board breaks (its write
// enable is ignored): it alone fails, and its port goes on with the next board.
TEST(Station, EveryBoardIsJudgedOnceAndAFailedPortGoesOn) {
    qv::sim::SimHost host;
    for (int i = 0; i < 3; ++i) host.AttachNew(qv::sim::UserDeviceIdentity());
    int boardsOnPort2 = 0;
    host.ReplugBoards(4, [&](qv::sim::SimChip& chip, const std::string& location) {
        if (location == "1-2" && ++boardsOnPort2 == 1)
            chip.Faults().flash.writeEnableIgnored = true;
    });
    TestFront front;
    const auto judged = qv::RunStation(host, "vid_6b94&pid_f82d", StationImage(2000),
                                       {qv::AutoRequest{}, 0, 12, {}}, front);
    ASSERT_EQ(judged.size(), 12u);
    std::map<std::string, int> perPort;
    int failed = 0;
    for (const qv::StationBoard& board : judged) {
        ++perPort[board.selector];
        if (!board.run.result.Ok()) {
            ++failed;
            EXPECT_EQ(board.selector, "1-2");
            // The erase's write enable found no latch set: nothing was erased.
            EXPECT_EQ(board.run.result.kind, qv::FailureKind::EraseFailed);
        }
    }
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(perPort, (std::map<std::string, int>{{"1-1", 4}, {"1-2", 4}, {"1-3", 4}}));
    EXPECT_EQ(front.judged.size(), judged.size());
}

// When each verdict came on the station's clock, and on which port: virtual time, a
// controller per port, three boards on each port from the simulated operator.
std::vector<std::pair<std::uint64_t, std::string>> VerdictTimes(unsigned ports) {
    qv::sim::SimHost host;
    host.SetControllerPerBoard(true);
    for (unsigned i = 0; i < ports; ++i) host.AttachNew(qv::sim::UserDeviceIdentity());
    host.ReplugBoards(3, {});
    struct TimingFront : TestFront {
        explicit TimingFront(qv::DeviceHost& clock) : host(clock) {}
        void BoardJudged(const qv::StationBoard& board) override {
            verdicts.emplace_back(host.NowMs(), board.selector);
        }
        qv::DeviceHost& host;
        std::vector<std::pair<std::uint64_t, std::string>> verdicts;
    } front(host);
    qv::RunStation(host, "vid_6b94&pid_f82d", StationImage(20000),
                   {qv::AutoRequest{}, 0, ports * 3, {}}, front);
    return front.verdicts;
}

// Many ports on virtual time: each board starts after the look that found it (so a port's
// boards take no less time than one port's alone), and the same station run twice gives the
// same verdicts at the same times.
TEST(Station, OnVirtualTimeBoardsStartWhenFoundAndRunsRepeatAlike) {
    const auto alone = VerdictTimes(1);
    const auto eight = VerdictTimes(8);
    ASSERT_EQ(eight.size(), 24u);
    EXPECT_GE(eight.back().first, alone.back().first);
    EXPECT_EQ(VerdictTimes(8), eight);
}

// No operator: the boards stay plugged in and are each judged once, however long it watches and
// though a listing of the bus fails now and then; --slots 1 takes them one after the other.
TEST(Station, ABoardLeftPluggedInIsNotFlashedTwice) {
    qv::sim::SimHost host;
    host.AttachNew(qv::sim::UserDeviceIdentity());
    host.AttachNew(qv::sim::UserDeviceIdentity());
    TestFront front;
    front.stopWhen = [&](const std::vector<qv::SlotSnapshot>&) {
        host.SetListingFails(front.polls % 5 == 0);
        return front.polls > 40;
    };
    const auto judged = qv::RunStation(host, "vid_6b94&pid_f82d", StationImage(500),
                                       {qv::AutoRequest{}, 1, 0, {}}, front);
    ASSERT_EQ(judged.size(), 2u);
    EXPECT_NE(judged[0].selector, judged[1].selector);
}

// A stop while boards are erasing (on real time, with a part whose chip erase takes a second):
// each ends at its next poll, and still waits for its flash, protects it and leaves ISP mode.
TEST(Station, AStopEndsEveryRunningBoardWithItsCleanUp) {
    qv::sim::SimHost host(qv::sim::SimClock::Mode::Real);
    std::vector<std::shared_ptr<qv::sim::SimChip>> chips;
    for (int i = 0; i < 3; ++i) {
        chips.push_back(std::make_shared<qv::sim::SimChip>(
            host.Clock(), qv::sim::UserDeviceIdentity(), qv::sim::kFlashChips[1]));
        host.Attach(chips.back());
    }
    TestFront front;
    front.stopWhen = [](const std::vector<qv::SlotSnapshot>& slots) {
        return slots.size() == 3 && std::all_of(slots.begin(), slots.end(), [](const auto& slot) {
                   return slot.state == qv::SlotSnapshot::State::Flashing;
               });
    };
    const auto judged = qv::RunStation(host, "vid_6b94&pid_f82d", StationImage(500),
                                       {qv::AutoRequest{}, 0, 0, {}}, front);
    ASSERT_EQ(judged.size(), 3u);
    for (const qv::StationBoard& board : judged)
        EXPECT_EQ(board.run.result.kind, qv::FailureKind::Stopped)
            << board.selector << " " << board.run.result.text;
    for (const auto& chip : chips) {
        const std::uint8_t protection = qv::sim::kFlashChips[1].blockProtectMask;
        EXPECT_EQ(chip->Flash().Status() & protection, protection);
        EXPECT_FALSE(chip->InIspMode());
    }
}

TEST(GangFlash, EveryAttachedChipGetsTheImageAndAFailingOneIsReportedAlone) {
    std::string image(3000, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 5);
    const TempDir folder;
    const auto file = folder.Write("gang.bin", image);

    qv::sim::SimHost host;
    std::vector<std::shared_ptr<qv::sim::SimChip>> chips;
    for (int i = 0; i < 4; ++i) chips.push_back(host.AttachNew(qv::sim::UserDeviceIdentity()));
    chips[2]->Faults().flash.writeEnableIgnored = true;  // programs nothing

    const auto targets = qv::FindGangTargets(host, "vid_6b94&pid_f82d");
    ASSERT_EQ(targets.size(), 4u);
    qv::AutoRequest request;
    request.fileText = file.string();
    const auto results = qv::FlashAll(host, targets, {}, request, {});

    ASSERT_EQ(results.size(), 4u);
    // Each board's seconds are its own: what one board alone on a bus takes.
    qv::sim::SimHost aloneHost;
    aloneHost.AttachNew(qv::sim::UserDeviceIdentity());
    const double alone =
        qv::FlashAll(aloneHost, qv::FindGangTargets(aloneHost, "vid_6b94&pid_f82d"), {}, request, {})
            .at(0)
            .seconds;
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (i != 2) {
            EXPECT_NEAR(results[i].seconds, alone, alone / 100) << "chip " << i;
        }
        const auto contents = chips[i]->Flash().Contents();
        const bool holds =
            std::equal(image.begin(), image.end(), contents.begin(),
                       [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
        if (i == 2) {
            EXPECT_EQ(results[i].result.kind, qv::FailureKind::EraseFailed);
            EXPECT_FALSE(holds);
        } else {
            EXPECT_EQ(results[i].result.text, "Verifying Success");
            EXPECT_TRUE(holds) << "chip " << i;
        }
    }
    // Again with --changed-only: the programmed chips have nothing left to do.
    request.changedOnly = true;
    const auto again = qv::FlashAll(host, targets, {}, request, {});
    for (std::size_t i = 0; i < again.size(); ++i)
        EXPECT_EQ(again[i].result.text == "0 of 1 sectors changed", i != 2)
            << again[i].result.text;
    std::filesystem::remove(file);
}

TEST(GangFlash, TheUserDevicesAreTheTargetsElseBothFirmwareUpdateDevices) {
    qv::sim::SimHost host;
    host.AttachNew(qv::sim::FirmwareUpdateIdentity(0x4D17));
    host.AttachNew(qv::sim::FirmwareUpdateIdentity(0x6B94));
    const std::string userMatch = qv::FoldToLowerAscii(qv::MakeDeviceMatch("6b94", "F82D"));
    const auto targets = qv::FindGangTargets(host, userMatch);
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_FALSE(targets[0].ksMode);
    EXPECT_NE(targets[0].path.find("vid_6b94&pid_6000"), std::string::npos);
    EXPECT_NE(targets[1].path.find("vid_4d17&pid_6000"), std::string::npos);
    EXPECT_TRUE(qv::FindGangTargets(host, "").size() == 2u);

    host.AttachNew(qv::sim::UserDeviceIdentity());
    const auto users = qv::FindGangTargets(host, userMatch);
    ASSERT_EQ(users.size(), 1u);
    EXPECT_TRUE(users[0].ksMode);
    // No user device asked for: only the firmware-update devices.
    EXPECT_EQ(qv::FindGangTargets(host, "").size(), 2u);
}

}  // namespace
