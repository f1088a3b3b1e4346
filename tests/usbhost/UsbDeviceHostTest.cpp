// The libusb host against simulated chips on an emulated USB bus: real libusb enumerates the
// devices from (emulated) sysfs and udev and sends its control transfers as usbfs URBs, which
// the bus hands to the chips. The same requests on the simulated host must give the same
// answers.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/Guid.h"
#include "device/QuorvexUsb.h"
#include "device/Records.h"
#include "device/host/TraceFormat.h"
#include "device/host/TracingHost.h"
#include "device/host/UsbDeviceHost.h"
#include "sim/SimChip.h"
#include "sim/SimClock.h"
#include "sim/SimHost.h"
#include "tests/usbhost/UmockdevUsbBus.h"

namespace qv {
namespace {

using test::UmockdevUsbBus;
using test::WireTransfer;

constexpr const char* kUserMatch = "vid_6b94&pid_f82d";
constexpr const char* kUpdateMatch = "vid_4d17&pid_6000";
constexpr const char* kUserGeneric =
    R"(\\?\usb#vid_6b94&pid_f82d#1-1#{a5dcbf10-6530-11d2-901f-00c04fb951ed})";
constexpr const char* kUserAudio =
    R"(\\?\usb#vid_6b94&pid_f82d&mi_00#1-1#{50894fa4-9206-4a91-8728-cf6f268f271d})";
constexpr const char* kUpdateGeneric =
    R"(\\?\usb#vid_4d17&pid_6000#1-2#{a5dcbf10-6530-11d2-901f-00c04fb951ed})";

constexpr std::uint8_t kRead = 0xC3;
constexpr std::uint8_t kWrite = 0x43;
constexpr std::uint8_t kRegisterRead = sim::SimChip::kRegisterRead;
constexpr std::uint8_t kRegisterWrite = sim::SimChip::kRegisterWrite;

std::vector<std::string> Sorted(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Hot-plug events reach libusb through its event thread; give them a bounded moment.
bool Eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string Describe(const WireTransfer& transfer) {
    return FormatTransferLine(0, Carrier::DirectUsb, transfer.setup, transfer.ok, transfer.data);
}

class UsbDeviceHostOnUmockdev : public testing::Test {
protected:
    // Chips first: the bus answers for them until it is gone; the host goes before the bus.
    sim::SimClock clock;
    sim::SimChip user{clock, sim::UserDeviceIdentity()};
    sim::SimChip updater{clock, sim::FirmwareUpdateIdentity(0x4D17)};
    UmockdevUsbBus bus;
    std::unique_ptr<UsbDeviceHost> host;

    UsbDeviceHost& StartHost() {
        host = std::make_unique<UsbDeviceHost>();
        return *host;
    }

    // A device object set up the way the presence monitor sets it, then discovery.
    static bool Find(QuorvexUsb& device, bool ksMode, const std::string& match) {
        device.SetKsMode(ksMode);
        device.SetMatchText(match);
        return device.FindDevice();
    }

    std::uint8_t ReadRegister(QuorvexUsb& device, std::uint8_t address, bool* ok = nullptr) {
        std::uint8_t value = 0xEE;
        const bool answered =
            device.VendorRequest(kRead, kRegisterRead, 0, address, {&value, 1}) == qv::Reply::Done;
        if (ok) *ok = answered;
        return value;
    }

    bool WriteRegister(QuorvexUsb& device, std::uint8_t address, std::uint8_t value) {
        return device.VendorRequest(kWrite, kRegisterWrite, 0, address, {&value, 1}) ==
               qv::Reply::Done;
    }
};

TEST_F(UsbDeviceHostOnUmockdev, ListsDevicesOnTheGenericClassAndAudioControlOnTheAudioClass) {
    bus.Plug(user, "1-1");
    bus.Plug(updater, "1-2");
    UsbDeviceHost& usb = StartHost();

    const auto generic = usb.ListInterfaces(kUsbDeviceInterfaceClass);
    ASSERT_TRUE(generic.has_value());
    EXPECT_EQ(Sorted(*generic), Sorted({kUserGeneric, kUpdateGeneric}));
    // Only the audio-control interface is listed: not the streaming interface, and nothing
    // of the device that has no audio function.
    const auto audio = usb.ListInterfaces(kAudioInterfaceClass);
    ASSERT_TRUE(audio.has_value());
    EXPECT_EQ(*audio, std::vector<std::string>{kUserAudio});
    const auto other = usb.ListInterfaces(kVendorPropertySet);
    ASSERT_TRUE(other.has_value());
    EXPECT_TRUE(other->empty());

    // The simulated host with the same devices in the same ports lists the same paths.
    sim::SimHost simHost;
    simHost.AttachNew(sim::UserDeviceIdentity());
    simHost.AttachNew(sim::FirmwareUpdateIdentity(0x4D17));
    for (const Guid& cls : {kUsbDeviceInterfaceClass, kAudioInterfaceClass}) {
        EXPECT_EQ(Sorted(*usb.ListInterfaces(cls)), Sorted(*simHost.ListInterfaces(cls)));
    }
}

TEST_F(UsbDeviceHostOnUmockdev, AnEmptyBusListsNothingAndFindsNothing) {
    UsbDeviceHost& usb = StartHost();
    for (const Guid& cls : {kUsbDeviceInterfaceClass, kAudioInterfaceClass}) {
        const auto paths = usb.ListInterfaces(cls);
        ASSERT_TRUE(paths.has_value()) << "an empty bus can still be listed";
        EXPECT_TRUE(paths->empty());
    }
    QuorvexUsb device(usb);
    EXPECT_FALSE(Find(device, true, kUserMatch));
    EXPECT_FALSE(device.IsPresent());
    EXPECT_FALSE(device.CheckPresent());
}

TEST_F(UsbDeviceHostOnUmockdev, NamesADeviceBehindAHubByItsPortChain) {
    bus.PlugHub("1-3");
    bus.Plug(user, "1-3.2");
    UsbDeviceHost& usb = StartHost();

    QuorvexUsb device(usb);
    ASSERT_TRUE(Find(device, true, kUserMatch));
    EXPECT_EQ(device.GetDevicePath(),
              R"(\\?\usb#vid_6b94&pid_f82d&mi_00#1-3.2#{50894fa4-9206-4a91-8728-cf6f268f271d})");
    // People look a device up by its node; root may open it.
    EXPECT_EQ(usb.SystemPath(device.GetDevicePath()).rfind("/dev/bus/usb/001/", 0), 0u);
    EXPECT_FALSE(usb.OpenDenied(device.GetDevicePath()));
    ASSERT_TRUE(Find(device, false, kUserMatch));
    EXPECT_EQ(device.GetDevicePath(),
              R"(\\?\usb#vid_6b94&pid_f82d#1-3.2#{a5dcbf10-6530-11d2-901f-00c04fb951ed})");
    user.SetRegister(0, 0x20, 0x3C);
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    bool ok = false;
    EXPECT_EQ(ReadRegister(device, 0x20, &ok), 0x3C);
    EXPECT_TRUE(ok);
}

TEST_F(UsbDeviceHostOnUmockdev, DiscoveryFindsEachDeviceOnItsCarrierAndProbesIt) {
    bus.Plug(user, "1-1");
    bus.Plug(updater, "1-2");
    QuorvexUsb device(StartHost());

    // Audio carrier: the audio driver answers the probe itself; nothing reaches the chip.
    EXPECT_TRUE(Find(device, true, kUserMatch));
    EXPECT_EQ(device.GetDevicePath(), kUserAudio);
    EXPECT_TRUE(device.IsPresent());
    EXPECT_TRUE(device.CheckPresent());
    EXPECT_TRUE(bus.Transfers(user).empty());

    // Generic carrier: the probe is one device-descriptor request, answered by the chip.
    EXPECT_TRUE(Find(device, false, kUserMatch));
    EXPECT_EQ(device.GetDevicePath(), kUserGeneric);
    const auto probe = bus.Transfers(user);
    ASSERT_EQ(probe.size(), 1u);
    const auto descriptor = user.DeviceDescriptor();
    EXPECT_EQ(Describe(probe[0]), FormatTransferLine(0, Carrier::DirectUsb,
                                                     {0x80, 6, 0x0100, 1, 18}, true, descriptor));

    // The update device is on the generic class only.
    EXPECT_TRUE(Find(device, false, kUpdateMatch));
    EXPECT_EQ(device.GetDevicePath(), kUpdateGeneric);
    EXPECT_EQ(bus.Transfers(updater).size(), 1u);
    EXPECT_FALSE(Find(device, true, kUpdateMatch));
    EXPECT_FALSE(device.CheckPresent());

    // Paths are lower case, so an upper-case match text finds nothing.
    device.ClearPresent();
    EXPECT_FALSE(Find(device, true, "vid_6B94&pid_F82D"));
    EXPECT_FALSE(device.IsPresent());
}

class RegisterAccessOnEachCarrier : public UsbDeviceHostOnUmockdev,
                                    public testing::WithParamInterface<bool> {};

TEST_P(RegisterAccessOnEachCarrier, WritesReachTheChipAndReadBackOneTransferEach) {
    const bool ksMode = GetParam();
    bus.Plug(user, "1-1");
    QuorvexUsb device(StartHost());
    ASSERT_TRUE(Find(device, ksMode, kUserMatch));
    bus.ClearTransfers();

    ASSERT_EQ(device.Open(), qv::Reply::Done);
    EXPECT_TRUE(WriteRegister(device, sim::SimChip::kBankSelect, 0x0E));
    EXPECT_TRUE(WriteRegister(device, 0x12, 0x5A));
    bool ok = false;
    EXPECT_EQ(ReadRegister(device, 0x12, &ok), 0x5A);
    EXPECT_TRUE(ok);
    device.Close();

    EXPECT_EQ(user.CurrentBank(), 0x0E);
    EXPECT_EQ(user.Register(0x0E, 0x12), 0x5A);
    EXPECT_EQ(user.Register(0x00, 0x12), 0x00) << "the write went to the selected bank";
    // On the audio carrier the request type on the wire is the audio driver's class type.
    const std::string out = ksMode ? "20" : "43";
    const std::string in = ksMode ? "A0" : "C3";
    std::vector<std::string> wire;
    for (const WireTransfer& transfer : bus.Transfers(user)) wire.push_back(Describe(transfer));
    EXPECT_EQ(wire, (std::vector<std::string>{
                        "0 D OUT " + out + " 90 0000 0000 1 OK 0E",
                        "0 D OUT " + out + " 90 0000 0012 1 OK 5A",
                        "0 D IN " + in + " 91 0000 0012 1 OK 5A",
                    }));
}

INSTANTIATE_TEST_SUITE_P(Carriers, RegisterAccessOnEachCarrier, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& carrier) {
                             return carrier.param ? "AudioCarrier" : "GenericCarrier";
                         });

// One vendor request of a script, and what the caller got back.
struct Step {
    std::uint8_t requestType;
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
    std::vector<std::uint8_t> buffer;
    bool stallWrites = false;  // the chip stalls register writes during this step
};
struct Outcome {
    Reply reply;
    std::vector<std::uint8_t> buffer;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

std::vector<Step> RequestScript() {
    const std::vector<std::uint8_t> unset(1, 0xEE);
    return {
        {kWrite, kRegisterWrite, 0, 0x00, {0x0E}},                  // select bank 0x0E
        {kWrite, kRegisterWrite, 0, 0x10, {0xA5}},                  //
        {kRead, kRegisterRead, 0, 0x10, unset},                     // reads back A5
        {kRead, kRegisterRead, 0, 0x00, unset},                     // the bank
        {kRead, kRegisterRead, 0, 0x10, {0xEE, 0xEE}},              // wrong length: stalls
        {kRead, kRegisterRead, 0, 0x10, {}},                        // no data stage: stalls
        {kWrite, kRegisterWrite, 0, 0x11, {}},                      // stalls
        {kWrite, kRegisterWrite, 0x1234, 0x0110, {0x77}},           // no such register: stalls
        {kRead, 0x99, 0, 0, unset},                                 // unknown request: stalls
        {0x80, 6, 0x0100, 0, std::vector<std::uint8_t>(64, 0xEE)},  // a short answer
        {kWrite, kRegisterWrite, 0, 0x12, {0x01}, true},            // stalled by the chip
        {kWrite, kRegisterWrite, 0, 0x12, {0x02}},                  //
        {kRead, kRegisterRead, 0, 0x12, unset},                     // reads back 02
    };
}

std::vector<Outcome> RunScript(QuorvexUsb& device, sim::SimChip& chip) {
    std::vector<Outcome> outcomes;
    EXPECT_EQ(device.Open(), qv::Reply::Done);
    for (Step step : RequestScript()) {
        if (step.stallWrites) chip.Faults().stalledRequests = {kRegisterWrite};
        const Reply reply = device.VendorRequest(step.requestType, step.request, step.value,
                                                 step.index, step.buffer);
        chip.Faults().stalledRequests.clear();
        outcomes.push_back({reply, step.buffer});
    }
    device.Close();
    return outcomes;
}

TEST_F(UsbDeviceHostOnUmockdev, AnswersEveryRequestAsTheSimulatedHostDoes) {
    bus.Plug(user, "1-1");
    std::vector<std::string> usbTrace;
    TracingHost traced(StartHost(), [&](const std::string& line) { usbTrace.push_back(line); });
    QuorvexUsb device(traced);

    sim::SimHost simHost;
    sim::SimChip& simChip = *simHost.AttachNew(sim::UserDeviceIdentity());
    simHost.GetTrace().KeepLines(true);
    QuorvexUsb simDevice(simHost);

    for (bool ksMode : {true, false}) {
        SCOPED_TRACE(ksMode ? "audio carrier" : "generic carrier");
        ASSERT_TRUE(Find(device, ksMode, kUserMatch));
        ASSERT_TRUE(Find(simDevice, ksMode, kUserMatch));
        bus.ClearTransfers();
        simHost.GetTrace().ClearLines();
        usbTrace.clear();

        const auto outcomes = RunScript(device, user);
        const auto expected = RunScript(simDevice, simChip);
        ASSERT_EQ(outcomes.size(), expected.size());
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            EXPECT_EQ(outcomes[i], expected[i]) << "step " << i;
        }
        EXPECT_EQ(outcomes[2].reply, Reply::Done);
        EXPECT_EQ(outcomes[4].reply, Reply::Refused);
        EXPECT_EQ(outcomes[9].reply, ksMode ? Reply::Refused : Reply::Short)
            << "a standard request exists on the generic carrier, with 18 of the 64 bytes asked";

        // The chip received the same transfers from both hosts (the trace without its numbers).
        const char carrier = ksMode ? 'K' : 'D';
        std::vector<std::string> wire, simWire;
        for (const WireTransfer& transfer : bus.Transfers(user)) {
            std::string line = Describe(transfer).substr(2);
            line[0] = carrier;
            wire.push_back(line);
        }
        for (const std::string& line : simHost.GetTrace().Lines())
            simWire.push_back(line.substr(line.find(' ') + 1));
        EXPECT_EQ(wire, simWire);
        // and a trace of the libusb session has the simulator's lines, numbers included.
        EXPECT_EQ(usbTrace, simHost.GetTrace().Lines());
    }
    for (std::uint8_t address : {0x10, 0x11, 0x12}) {
        EXPECT_EQ(user.Register(0x0E, address), simChip.Register(0x0E, address));
    }
    EXPECT_EQ(user.Register(0x0E, 0x12), 0x02);
}

TEST_F(UsbDeviceHostOnUmockdev, AStalledRequestFailsAndTheDeviceStaysUsable) {
    bus.Plug(user, "1-1");
    QuorvexUsb device(StartHost());
    ASSERT_TRUE(Find(device, false, kUserMatch));
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    user.SetRegister(0, 0x30, 0x42);

    user.Faults().stalledRequests = {kRegisterRead};
    bool ok = true;
    static_cast<void>(ReadRegister(device, 0x30, &ok));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(WriteRegister(device, 0x31, 0x24)) << "only the stalled request fails";

    user.Faults().stalledRequests.clear();
    EXPECT_EQ(ReadRegister(device, 0x30, &ok), 0x42);
    EXPECT_TRUE(ok);
    EXPECT_EQ(user.Register(0, 0x31), 0x24);
}

TEST_F(UsbDeviceHostOnUmockdev, ATransferTheDeviceNeverAnswersFailsAfterTheTimeout) {
    bus.Plug(user, "1-1");
    QuorvexUsb device(StartHost());
    ASSERT_TRUE(Find(device, false, kUserMatch));
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    user.SetRegister(0, 0x30, 0x42);
    bus.ClearTransfers();

    bus.SetUnresponsive(user, true);
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    static_cast<void>(ReadRegister(device, 0x30, &ok));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(ok);
    EXPECT_GE(waited, std::chrono::milliseconds(UsbDeviceHost::kTransferTimeoutMs - 50));
    EXPECT_LT(waited, std::chrono::milliseconds(UsbDeviceHost::kTransferTimeoutMs + 2000));
    EXPECT_TRUE(bus.Transfers(user).empty());

    // The abandoned transfer is cleaned up; the next one is answered.
    bus.SetUnresponsive(user, false);
    EXPECT_EQ(ReadRegister(device, 0x30, &ok), 0x42);
    EXPECT_TRUE(ok);
}

TEST_F(UsbDeviceHostOnUmockdev, RefusesWhatTheDriversRefuseWithoutATransfer) {
    bus.Plug(user, "1-1");
    UsbDeviceHost& usb = StartHost();
    const HostHandle generic = usb.OpenPath(kUserGeneric);
    const HostHandle audio = usb.OpenPath(kUserAudio);
    ASSERT_NE(generic, kNoHandle);
    ASSERT_NE(audio, kNoHandle);
    EXPECT_NE(generic, audio);
    EXPECT_EQ(
        usb.OpenPath(R"(\\?\usb#vid_6b94&pid_f82d#1-9#{a5dcbf10-6530-11d2-901f-00c04fb951ed})"),
        kNoHandle)
        << "no device in that port";
    EXPECT_EQ(usb.OpenPath("not a path"), kNoHandle);

    std::uint8_t byte = 0x5A;
    std::uint32_t returned = 99;
    const auto write = BuildSetupRecord(kWrite, kRegisterWrite, 0, 0x12);
    const auto read = BuildSetupRecord(kRead, kRegisterRead, 0, 0x12);
    const auto property = BuildPropertyRecord(kWrite, kRegisterWrite, 0, 0x12, {&byte, 1});
    // The other carrier's record on each handle.
    EXPECT_FALSE(usb.IoControl(generic, kKsPropertyCode, property, {}, returned));
    EXPECT_FALSE(usb.IoControl(audio, kHostToDeviceCode, write, {&byte, 1}, returned));
    // A control code whose direction contradicts the request type.
    EXPECT_FALSE(usb.IoControl(generic, kHostToDeviceCode, read, {&byte, 1}, returned));
    // More data than one control transfer can carry.
    std::vector<std::uint8_t> huge(0x10000);
    EXPECT_FALSE(usb.IoControl(generic, kHostToDeviceCode, write, huge, returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_TRUE(bus.Transfers(user).empty());

    // Handles are independent: closing one leaves the other working; a closed one fails.
    usb.ClosePath(audio);
    EXPECT_FALSE(usb.IoControl(audio, kKsPropertyCode, property, {}, returned));
    EXPECT_TRUE(usb.IoControl(generic, kHostToDeviceCode, write, {&byte, 1}, returned));
    EXPECT_EQ(returned, 1u);
    EXPECT_EQ(user.Register(0, 0x12), 0x5A);
    usb.ClosePath(generic);
    usb.ClosePath(generic);  // closing twice does nothing
    EXPECT_FALSE(usb.IoControl(generic, kHostToDeviceCode, write, {&byte, 1}, returned));
}

TEST_F(UsbDeviceHostOnUmockdev, ADeviceAnsweringNoDeviceFailsRequestsAndTheProbe) {
    bus.Plug(user, "1-1");
    QuorvexUsb device(StartHost());
    ASSERT_TRUE(Find(device, false, kUserMatch));
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    ASSERT_TRUE(WriteRegister(device, 0x40, 0x11));
    bus.ClearTransfers();

    bus.Disconnect(user);
    EXPECT_FALSE(WriteRegister(device, 0x40, 0x22));
    bool ok = true;
    static_cast<void>(ReadRegister(device, 0x40, &ok));
    EXPECT_FALSE(ok);
    device.Close();
    EXPECT_TRUE(bus.Transfers(user).empty());
    EXPECT_EQ(user.Register(0, 0x40), 0x11);

    // Still listed until it is removed: present, but the probe fails.
    EXPECT_FALSE(Find(device, false, kUserMatch));
    EXPECT_TRUE(device.IsPresent());
    EXPECT_TRUE(device.CheckPresent());
}

TEST_F(UsbDeviceHostOnUmockdev, AnUnpluggedDeviceLeavesDiscoveryAndReturnsWhenPluggedAgain) {
    bus.Plug(user, "1-1");
    bus.Plug(updater, "1-2");
    UsbDeviceHost& usb = StartHost();
    QuorvexUsb device(usb);
    ASSERT_TRUE(Find(device, true, kUserMatch));
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    ASSERT_TRUE(WriteRegister(device, 0x40, 0x11));

    bus.Unplug(user);
    EXPECT_FALSE(WriteRegister(device, 0x40, 0x22));
    bool ok = true;
    static_cast<void>(ReadRegister(device, 0x40, &ok));
    EXPECT_FALSE(ok);
    device.Close();
    EXPECT_EQ(user.Register(0, 0x40), 0x11);

    EXPECT_TRUE(Eventually([&] { return !device.CheckPresent(); }));
    EXPECT_FALSE(device.IsPresent());
    EXPECT_FALSE(device.FindDevice());
    EXPECT_EQ(device.Open(), qv::Reply::Gone);
    EXPECT_TRUE(usb.ListInterfaces(kAudioInterfaceClass)->empty());
    EXPECT_EQ(*usb.ListInterfaces(kUsbDeviceInterfaceClass),
              std::vector<std::string>{kUpdateGeneric});

    // The other device is untouched.
    QuorvexUsb other(usb);
    ASSERT_TRUE(Find(other, false, kUpdateMatch));
    ASSERT_EQ(other.Open(), qv::Reply::Done);
    EXPECT_TRUE(WriteRegister(other, 0x40, 0x33));
    EXPECT_EQ(updater.Register(0, 0x40), 0x33);

    // Plugged into the same port again, it is found under the same path and answers.
    bus.Plug(user, "1-1");
    EXPECT_TRUE(Eventually([&] { return device.FindDevice(); }));
    EXPECT_EQ(device.GetDevicePath(), kUserAudio);
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    EXPECT_TRUE(WriteRegister(device, 0x40, 0x44));
    EXPECT_EQ(user.Register(0, 0x40), 0x44);
}

}  // namespace
}  // namespace qv
