// Finding the chip among the present interfaces of the simulated bus.
#include <gtest/gtest.h>

#include "device/DeviceMatch.h"
#include "device/QuorvexUsb.h"
#include "sim/SimHost.h"

namespace {

using qv::sim::FirmwareUpdateIdentity;
using qv::sim::UserDeviceIdentity;

class DiscoveryTest : public ::testing::Test {
protected:
    qv::sim::SimHost host;
    qv::QuorvexUsb device{host};
};

TEST_F(DiscoveryTest, InitialStateLooksForTheFirmwareUpdateDeviceOnTheUsbClass) {
    EXPECT_EQ(device.GetMatchText(), "vid_4d17&pid_6000");
    EXPECT_FALSE(device.GetKsMode());
    EXPECT_FALSE(device.IsPresent());
    EXPECT_EQ(device.GetDevicePath(), "");
}

TEST_F(DiscoveryTest, LastOfTwoMatchingInterfacesWinsAndIsProbed) {
    host.AttachNew(UserDeviceIdentity());
    host.AttachNew(UserDeviceIdentity());
    host.GetTrace().KeepLines(true);
    device.SetKsMode(true);
    device.SetMatchText("vid_6b94&pid_f82d");

    EXPECT_TRUE(device.FindDevice());
    EXPECT_TRUE(device.IsPresent());
    EXPECT_NE(device.GetDevicePath().find("#1-2#"), std::string::npos);
    EXPECT_EQ(host.GetTrace().Lines(),
              (std::vector<std::string>{"1 K PROBE OK", "2 K PROBE OK"}));
    EXPECT_EQ(host.OpenHandleCount(), 0u);
}

TEST_F(DiscoveryTest, MatchingIsCaseSensitiveAndAnEmptyTextMatchesNothing) {
    host.AttachNew(UserDeviceIdentity());
    device.SetKsMode(true);
    for (const char* text : {"vid_6B94&pid_F82D", ""}) {
        device.SetMatchText(text);
        EXPECT_FALSE(device.FindDevice()) << text;
        EXPECT_FALSE(device.CheckPresent()) << text;
        EXPECT_FALSE(device.IsPresent()) << text;
    }
}

TEST_F(DiscoveryTest, EmptyClassFindsNothingAndClearsPresence) {
    host.AttachNew(FirmwareUpdateIdentity(0x6B94));  // only on the generic class
    device.SetKsMode(true);
    device.SetMatchText("vid_6b94&pid_6000");
    EXPECT_FALSE(device.FindDevice());
    EXPECT_FALSE(device.IsPresent());
    EXPECT_FALSE(device.CheckPresent());
    EXPECT_FALSE(device.IsPresent());
}

TEST_F(DiscoveryTest, DeviceRefusingTheProbeIsStillPresent) {
    auto chip = host.AttachNew(FirmwareUpdateIdentity(0x4D17));
    chip->Faults().stalledRequests.insert(6);  // GET_DESCRIPTOR stalls
    host.GetTrace().KeepLines(true);

    EXPECT_FALSE(device.FindDevice());
    EXPECT_TRUE(device.IsPresent());
    EXPECT_EQ(device.GetDevicePath(),
              "\\\\?\\usb#vid_4d17&pid_6000#1-1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    EXPECT_EQ(host.GetTrace().Lines(),
              std::vector<std::string>{"1 D IN 80 06 0100 0001 18 FAIL -"});
}

TEST_F(DiscoveryTest, FindKeepsTheOldStateWhenNothingMatchesWhileCheckClearsIt) {
    auto chip = host.AttachNew(FirmwareUpdateIdentity(0x4D17));
    ASSERT_TRUE(device.FindDevice());
    const std::string path = device.GetDevicePath();
    host.Detach(*chip);

    EXPECT_FALSE(device.FindDevice());
    EXPECT_TRUE(device.IsPresent());
    EXPECT_EQ(device.GetDevicePath(), path);
    EXPECT_FALSE(device.CheckPresent());
    EXPECT_FALSE(device.IsPresent());
}

TEST_F(DiscoveryTest, InterfacesThatCannotBeListedFindNothing) {
    host.AttachNew(FirmwareUpdateIdentity(0x4D17));
    ASSERT_TRUE(device.CheckPresent());
    host.SetListingFails(true);
    EXPECT_FALSE(device.FindDevice());
    EXPECT_TRUE(device.IsPresent());
    EXPECT_FALSE(device.CheckPresent());
    EXPECT_FALSE(device.IsPresent());
}

}  // namespace
