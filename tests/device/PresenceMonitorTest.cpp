// The presence timer's decisions, tick by tick, on the simulated bus.
#include <gtest/gtest.h>

#include "cli/SlotLearning.h"
#include "device/DeviceMatch.h"
#include "device/PresenceMonitor.h"
#include "sim/SimChip.h"
#include "sim/SimHost.h"

namespace {

using qv::IndicatorColour;

class PresenceMonitorTest : public ::testing::Test {
protected:
    void SetUp() override { monitor.SwitchOn("6b94", "F82D"); }

    // "K vid_6b94&pid_f82d" or "D vid_4d17&pid_6000": what the tick searched or checked.
    std::string Searched() const {
        return std::string(device.GetKsMode() ? "K " : "D ") + device.GetMatchText();
    }

    qv::sim::SimHost host;
    qv::QuorvexUsb device{host};
    qv::PresenceMonitor monitor{device};
};

TEST_F(PresenceMonitorTest, SwitchingOnFoldsTheMatchButKeepsTheTypedTexts) {
    EXPECT_TRUE(monitor.DetectOn);
    EXPECT_EQ(monitor.DeviceMatch, "vid_6b94&pid_f82d");
    EXPECT_EQ(monitor.PidText, "F82D");
    monitor.TakePidText("ABCD");  // Enter in the PID edit: no folding until switched on again
    EXPECT_EQ(monitor.DeviceMatch, "vid_6b94&pid_ABCD");
}

TEST_F(PresenceMonitorTest, WithNothingAttachedTheSearchAlternatesEvery300Ms) {
    std::vector<std::string> order;
    std::vector<std::optional<std::uint32_t>> intervals;
    for (int tick = 0; tick < 5; ++tick) {
        const auto result = monitor.Tick();
        order.push_back(Searched());
        intervals.push_back(result.intervalMs);
        ASSERT_TRUE(result.indicator);
        EXPECT_EQ(result.indicator->colour, IndicatorColour::ButtonFace);
        EXPECT_EQ(result.indicator->text, "No device is available");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"K vid_6b94&pid_f82d", "D vid_6b94&pid_6000",
                                               "K vid_6b94&pid_f82d", "D vid_4d17&pid_6000",
                                               "K vid_6b94&pid_f82d"}));
    // The first miss keeps the start interval; from the firmware search on it is 300 ms.
    EXPECT_EQ(intervals[0], std::nullopt);
    EXPECT_EQ(intervals[1], 300u);
    EXPECT_EQ(intervals[3], 300u);
}

TEST_F(PresenceMonitorTest, UserDeviceIsShownThenCheckedEverySecondUntilItGoes) {
    auto chip = host.AttachNew(qv::sim::UserDeviceIdentity());
    auto found = monitor.Tick();
    EXPECT_EQ(found.indicator->colour, IndicatorColour::Lime);
    EXPECT_EQ(found.indicator->text, "Device F82D is exist");

    host.GetTrace().KeepLines(true);
    auto check = monitor.Tick();
    EXPECT_EQ(check.intervalMs, 1000u);
    EXPECT_EQ(check.indicator->text, "Device F82D is exist");
    EXPECT_TRUE(host.GetTrace().Lines().empty());  // a check probes nothing

    host.Detach(*chip);
    auto gone = monitor.Tick();
    EXPECT_EQ(gone.indicator->colour, IndicatorColour::ButtonFace);
    EXPECT_EQ(gone.indicator->text, "No device is available");
    monitor.Tick();
    EXPECT_EQ(Searched(), "D vid_6b94&pid_6000");  // the other kind is searched first
}

TEST_F(PresenceMonitorTest, FirmwareUpdateDeviceIsNamedByTheVendorIdJustTried) {
    host.AttachNew(qv::sim::FirmwareUpdateIdentity(0x4D17));
    std::optional<qv::Indicator> shown;
    int ticks = 0;
    while (ticks < 4 && !device.IsPresent()) {
        shown = monitor.Tick().indicator;
        ++ticks;
    }
    EXPECT_EQ(ticks, 4);  // user, 6b94, user, 4d17
    EXPECT_EQ(shown->text, "Firmware update device 4D17 is exist");
    EXPECT_EQ(monitor.Tick().indicator->text, "Firmware update device 4D17 is exist");
}

TEST_F(PresenceMonitorTest, SwitchedOffOrBusyTicksDoNothing) {
    host.AttachNew(qv::sim::UserDeviceIdentity());
    monitor.Tick();
    ASSERT_TRUE(device.IsPresent());

    monitor.AutoBusy = true;
    const auto busy = monitor.Tick();
    EXPECT_FALSE(busy.indicator);
    EXPECT_FALSE(busy.intervalMs);
    monitor.AutoBusy = false;

    const qv::Indicator off = monitor.SwitchOff();
    EXPECT_EQ(off.colour, IndicatorColour::Grey);
    EXPECT_FALSE(off.text);  // the last text stays
    EXPECT_FALSE(device.IsPresent());
    const auto idle = monitor.Tick();
    EXPECT_FALSE(idle.indicator);
    EXPECT_EQ(Searched(), "K vid_6b94&pid_f82d");  // carrier and match text are left as they were
}

TEST_F(PresenceMonitorTest, AnEmptyPidTextMatchesNoDevice) {
    host.AttachNew(qv::sim::UserDeviceIdentity());
    monitor.SwitchOn("", "");
    EXPECT_EQ(monitor.DeviceMatch, "vid_&pid_");
    monitor.Tick();
    EXPECT_FALSE(device.IsPresent());
}

}  // namespace

// Learning a fixture's slots: each slot is the port a board appears on that is not learned yet,
// once it is the only one; a board moved on from slot to slot counts at each new port, and
// several new boards at once are refused until one is left.
class SlotLearningOperator : public qv::cli::SlotLearningFront {
public:
    explicit SlotLearningOperator(qv::sim::SimHost& bus) : bus_(bus) {}

    void Ask(const std::string& label) override {
        asked.push_back(label);
        // For the second slot a spare board comes too: one must go before the slot is learned.
        if (asked.size() == 2) spare_ = bus_.AttachNew(qv::sim::UserDeviceIdentity());
        MoveBoard();
    }
    void Learned(const qv::JobSlot&) override {}
    void SeveralBoards(const std::string& label) override {
        several.push_back(label);
        bus_.Detach(*spare_);
    }
    // A board the learning never takes ends the test instead of hanging it.
    bool StopRequested() override { return ++polls_ > 100; }

    std::vector<std::string> asked;
    std::vector<std::string> several;

protected:
    int polls_ = 0;

private:
    // The operator's board leaves its slot and goes into the next port.
    void MoveBoard() {
        if (board_) bus_.Detach(*board_);
        board_ = bus_.AttachNew(qv::sim::UserDeviceIdentity());
    }

    qv::sim::SimHost& bus_;
    std::shared_ptr<qv::sim::SimChip> board_, spare_;
};

TEST(SlotLearning, EachSlotIsThePortItsBoardAppearedOn) {
    qv::sim::SimHost bus;
    SlotLearningOperator person(bus);
    const auto learned = qv::cli::LearnSlots(bus, qv::MakeDeviceMatch("6b94", "f82d"),
                                             qv::cli::SlotLabels(3), person);
    ASSERT_TRUE(learned);
    // Port 1-2 was the spare board, unplugged again.
    EXPECT_EQ(*learned, (std::vector<qv::JobSlot>{{"1-1", "Slot 1"}, {"1-3", "Slot 2"}, {"1-4", "Slot 3"}}));
    EXPECT_EQ(person.several, std::vector<std::string>{"Slot 2"});

    // A stop before the last slot is learned learns nothing.
    struct NobodyThere : SlotLearningOperator {
        using SlotLearningOperator::SlotLearningOperator;
        void Ask(const std::string&) override {}
        bool StopRequested() override { return ++polls_ > 3; }
    };
    qv::sim::SimHost emptyBus;
    NobodyThere nobody(emptyBus);
    EXPECT_FALSE(qv::cli::LearnSlots(emptyBus, qv::MakeDeviceMatch("6b94", "f82d"),
                                     qv::cli::SlotLabels(2), nobody));
}
