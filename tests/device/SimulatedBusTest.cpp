// The simulated bus and chip as the device object sees them, read back from the trace.
#include <gtest/gtest.h>

#include "device/QuorvexUsb.h"
#include "device/Records.h"
#include "device/host/DriverCall.h"
#include "device/host/InterfacePath.h"
#include "sim/SimHost.h"

namespace {

using Lines = std::vector<std::string>;

class SimulatedBusTest : public ::testing::Test {
protected:
    void Connect(bool ksMode) {
        device.SetKsMode(ksMode);
        device.SetMatchText("vid_6b94&pid_f82d");
        ASSERT_TRUE(device.FindDevice());
        host.GetTrace().KeepLines(true);
        ASSERT_EQ(device.Open(), qv::Reply::Done);
    }
    bool WriteRegister(std::uint8_t address, std::uint8_t value) {
        return device.VendorRequest(0x43, 0x90, 0, address, std::span(&value, 1)) == qv::Reply::Done;
    }
    bool ReadRegister(std::uint8_t address, std::uint8_t& value) {
        return device.VendorRequest(0xC3, 0x91, 0, address, std::span(&value, 1)) == qv::Reply::Done;
    }

    qv::sim::SimHost host;
    std::shared_ptr<qv::sim::SimChip> chip = host.AttachNew(qv::sim::UserDeviceIdentity());
    qv::QuorvexUsb device{host};
};

TEST_F(SimulatedBusTest, RegistersOfTheSelectedBankOnTheAudioCarrier) {
    Connect(true);
    std::uint8_t value = 0;
    EXPECT_TRUE(WriteRegister(0x00, 0x0E));
    EXPECT_TRUE(WriteRegister(0x11, 0x04));
    EXPECT_TRUE(ReadRegister(0x11, value));
    EXPECT_EQ(value, 0x04);
    EXPECT_TRUE(WriteRegister(0x00, 0x0D));
    EXPECT_TRUE(ReadRegister(0x11, value));
    EXPECT_EQ(value, 0x00);
    EXPECT_TRUE(ReadRegister(0x00, value));
    EXPECT_EQ(value, 0x0D);
    EXPECT_EQ(chip->Register(0x0E, 0x11), 0x04);

    EXPECT_EQ(host.GetTrace().Lines(), (Lines{
                                           "1 K OUT 20 90 0000 0000 1 OK 0E",
                                           "2 K OUT 20 90 0000 0011 1 OK 04",
                                           "3 K IN A0 91 0000 0011 1 OK 04",
                                           "4 K OUT 20 90 0000 0000 1 OK 0D",
                                           "5 K IN A0 91 0000 0011 1 OK 00",
                                           "6 K IN A0 91 0000 0000 1 OK 0D",
                                       }));
}

TEST_F(SimulatedBusTest, RegistersOnTheUsbDriverCarrierAndAStall) {
    Connect(false);
    std::uint8_t value = 0x99;
    EXPECT_TRUE(WriteRegister(0xA4, 0x31));
    chip->Faults().stalledRequests.insert(0x91);
    EXPECT_FALSE(ReadRegister(0xA4, value));
    EXPECT_EQ(value, 0x99);  // a failed read leaves the caller's byte alone
    EXPECT_EQ(host.GetTrace().Lines(), (Lines{
                                           "1 D OUT 43 90 0000 00A4 1 OK 31",
                                           "2 D IN C3 91 0000 00A4 1 FAIL -",
                                       }));
}

TEST_F(SimulatedBusTest, UnknownRequestsAndWrongLengthsStall) {
    Connect(true);
    std::uint8_t two[2] = {1, 2};
    EXPECT_NE(device.VendorRequest(0x43, 0x90, 0, 0x10, two), qv::Reply::Done);
    EXPECT_NE(device.VendorRequest(0x43, 0x7F, 0, 0, {}), qv::Reply::Done);
    EXPECT_EQ(host.GetTrace().Lines(), (Lines{
                                           "1 K OUT 20 90 0000 0010 2 FAIL -",
                                           "2 K OUT 20 7F 0000 0000 0 FAIL -",
                                       }));
}

TEST_F(SimulatedBusTest, UnpluggedDeviceFailsItsOpenHandleAndCannotBeOpenedAgain) {
    Connect(true);
    host.Detach(*chip);
    std::uint8_t value = 0;
    EXPECT_FALSE(ReadRegister(0x10, value));
    device.Close();
    EXPECT_EQ(device.Open(), qv::Reply::Gone);
    // The trace holds what the host returned: the read failed; the failed open sent nothing.
    ASSERT_EQ(host.GetTrace().Lines().size(), 1u);
    EXPECT_TRUE(host.GetTrace().Lines()[0].ends_with(" IN A0 91 0000 0010 1 FAIL -"))
        << host.GetTrace().Lines()[0];
    host.Attach(chip);
    EXPECT_TRUE(device.CheckPresent());
}

TEST(DriverRules, CallsADriverWouldRefuseAreRejected) {
    using qv::DecodeDriverCall;
    using Kind = qv::DriverCall::Kind;
    std::uint8_t buffer[4] = {};
    const auto readRecord = qv::BuildSetupRecord(0xC3, 0x91, 0, 0);
    // The control code and bit 7 of the request type disagree.
    EXPECT_EQ(DecodeDriverCall(qv::kHostToDeviceCode, readRecord, buffer).kind, Kind::Rejected);
    EXPECT_EQ(DecodeDriverCall(qv::kDeviceToHostCode, readRecord, buffer).kind, Kind::Transfer);
    // A setup record of the wrong size, an unknown control code.
    EXPECT_EQ(DecodeDriverCall(qv::kDeviceToHostCode, std::span(readRecord).first(23), buffer).kind,
              Kind::Rejected);
    EXPECT_EQ(DecodeDriverCall(0x220000, readRecord, buffer).kind, Kind::Rejected);

    std::uint8_t data[4] = {};
    auto property = qv::BuildPropertyRecord(0xC3, 0x91, 0, 0, data);
    EXPECT_EQ(DecodeDriverCall(qv::kKsPropertyCode, property, data).kind, Kind::Transfer);
    // A GET whose output buffer is shorter than its data length, a record cut short,
    // a foreign property set.
    EXPECT_EQ(DecodeDriverCall(qv::kKsPropertyCode, property, std::span(data).first(3)).kind,
              Kind::Rejected);
    EXPECT_EQ(DecodeDriverCall(qv::kKsPropertyCode, std::span(property).first(42), data).kind,
              Kind::Rejected);
    property[0] ^= 1;
    EXPECT_EQ(DecodeDriverCall(qv::kKsPropertyCode, property, data).kind, Kind::Rejected);
}

TEST(InterfacePaths, RoundTripAndRejectForeignText) {
    const qv::InterfacePath audio{0x6B94, 0xF82D, 3, "2-1.4", qv::kAudioInterfaceClass};
    EXPECT_EQ(audio.Text(),
              "\\\\?\\usb#vid_6b94&pid_f82d&mi_03#2-1.4#{50894fa4-9206-4a91-8728-cf6f268f271d}");
    const auto parsed = qv::InterfacePath::Parse(audio.Text());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Text(), audio.Text());
    EXPECT_EQ(parsed->interfaceNumber, 3);
    EXPECT_EQ(parsed->location, "2-1.4");

    const qv::InterfacePath generic{0x4D17, 0x6000, std::nullopt, "1-1", qv::kUsbDeviceInterfaceClass};
    ASSERT_TRUE(qv::InterfacePath::Parse(generic.Text()));
    EXPECT_FALSE(qv::InterfacePath::Parse("\\\\?\\usb#vid_4d17&pid_6000#1-1#{0}"));
    EXPECT_FALSE(qv::InterfacePath::Parse(""));
}

}  // namespace
