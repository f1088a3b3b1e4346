// The records and control codes the device object hands the drivers, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "RecordingHost.h"
#include "device/QuorvexUsb.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kPropertySet = {0x4D, 0xC0, 0xD7, 0xF6, 0xC3, 0xC5, 0x81, 0x41,
                            0x9E, 0xD7, 0x50, 0x4A, 0xBE, 0x0C, 0xDD, 0xFF};

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

class VendorRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.FindDevice();  // stores the recording host's path
        host.calls.clear();
        ASSERT_EQ(device.Open(), qv::Reply::Done);
    }

    RecordingHost host;
    qv::QuorvexUsb device{host};
};

TEST_F(VendorRequestTest, UsbDriverCarrierSendsTheSetupRecordWithTheCallersBuffer) {
    std::uint8_t write[3] = {1, 2, 3};
    ASSERT_EQ(device.VendorRequest(0x43, 0x90, 0x1234, 0x00A4, write), qv::Reply::Done);
    std::uint8_t read[1] = {0};
    ASSERT_EQ(device.VendorRequest(0xC3, 0x91, 0, 0x00A5, read), qv::Reply::Done);

    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].code, 0x222429u);
    // The length field stays 0 whatever the data length; the data is the buffer beside it.
    EXPECT_EQ(host.calls[0].input, (Bytes{0, 0, 0, 0, 0x43, 0x90, 0x34, 0x12, 0xA4, 0x00, 0, 0,
                                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(host.calls[0].outputAddress, write);
    EXPECT_EQ(host.calls[0].outputSize, 3u);
    EXPECT_EQ(host.calls[1].code, 0x22242Eu);
    EXPECT_EQ(host.calls[1].input[4], 0xC3);
    EXPECT_EQ(read[0], 0x5A);  // the device's byte arrives in the caller's buffer
}

TEST_F(VendorRequestTest, AudioDriverCarrierSendsThePropertyRecord) {
    device.SetKsMode(true);
    std::uint8_t data[2] = {0xAB, 0xCD};
    ASSERT_EQ(device.VendorRequest(0x43, 0x90, 0x0102, 0x0304, data), qv::Reply::Done);

    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].code, 0x2F0003u);
    const Bytes expected = Concat({kPropertySet,
                                   {7, 0, 0, 0, 2, 0, 0, 0},           // id 7, SET
                                   {0x20, 0x90, 0x02, 0x01, 0x04, 0x03},  // type byte, request
                                   {0, 0, 0, 0, 0, 0},                 // reserved
                                   {2, 0, 0, 0},                       // data length
                                   {0xAB, 0xCD},
                                   Bytes(7, 0)});
    EXPECT_EQ(host.calls[0].input, expected);
    EXPECT_EQ(host.calls[0].input.size(), 2u + 47u);
    EXPECT_EQ(host.calls[0].outputAddress, data);
}

TEST_F(VendorRequestTest, AudioDriverReadCopiesTheBufferAndIgnoresTheLowTypeBits) {
    device.SetKsMode(true);
    std::uint8_t first[1] = {0x77};
    std::uint8_t second[1] = {0x77};
    static_cast<void>(device.VendorRequest(0xC3, 0x91, 0, 0xA4, first));
    static_cast<void>(device.VendorRequest(0x80, 0x91, 0, 0xA4, second));

    ASSERT_EQ(host.calls.size(), 2u);
    const Bytes& record = host.calls[0].input;
    EXPECT_EQ(record[20], 1);      // KSPROPERTY_TYPE_GET
    EXPECT_EQ(record[24], 0x20);   // never the caller's type
    EXPECT_EQ(record[40], 0x77);   // a read still copies the caller's buffer
    EXPECT_EQ(host.calls[1].input, record);
    EXPECT_EQ(first[0], 0x5A);
}

TEST_F(VendorRequestTest, AudioDriverRequestWithoutDataIs48Bytes) {
    device.SetKsMode(true);
    ASSERT_EQ(device.VendorRequest(0x43, 0x84, 0, 0, {}), qv::Reply::Done);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].input.size(), 48u);
    EXPECT_EQ(host.calls[0].outputSize, 0u);
    EXPECT_EQ(host.calls[0].input[36], 0);
}

TEST_F(VendorRequestTest, DriverFailureIsAFalseResult) {
    host.ioResult = false;
    std::uint8_t byte[1] = {0};
    EXPECT_NE(device.VendorRequest(0xC3, 0x91, 0, 0, byte), qv::Reply::Done);
}

TEST(DeviceHandle, OpenTwiceHoldsOnlyTheSecondHandleAndCloseReleasesIt) {
    RecordingHost host;
    qv::QuorvexUsb device(host);
    std::uint8_t byte[1] = {0};
    EXPECT_NE(device.VendorRequest(0xC3, 0x91, 0, 0, byte), qv::Reply::Done);  // never opened: nothing sent
    EXPECT_EQ(device.Open(), qv::Reply::Gone);                                   // no path yet
    device.FindDevice();
    host.calls.clear();
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    EXPECT_EQ(host.closed.back(), 2);  // the probe's handle and the first open are closed
    static_cast<void>(device.VendorRequest(0xC3, 0x91, 0, 0, byte));
    EXPECT_EQ(host.calls.back().handle, 3);
    device.Close();
    device.Close();
    EXPECT_EQ(host.closed.back(), 3);
    EXPECT_EQ(host.closed.size(), 3u);
    EXPECT_NE(device.VendorRequest(0xC3, 0x91, 0, 0, byte), qv::Reply::Done);
}

TEST(DeviceProbe, AsksForTheDeviceDescriptorOnItsOwnHandle) {
    RecordingHost host;
    qv::QuorvexUsb device(host);
    ASSERT_TRUE(device.FindDevice());
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].code, 0x22242Eu);
    EXPECT_EQ(host.calls[0].input, (Bytes{0, 0, 0, 0, 0x80, 6, 0x00, 0x01, 1, 0, 18, 0,
                                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(host.calls[0].outputSize, 18u);
    EXPECT_EQ(host.closed, std::vector<qv::HostHandle>{1});
    EXPECT_FALSE(device.IsOpen());
}

TEST(DeviceProbe, AsksTheAudioDriverAboutThePropertySet) {
    RecordingHost host;
    qv::QuorvexUsb device(host);
    device.SetKsMode(true);
    device.FindDevice();
    ASSERT_EQ(device.Open(), qv::Reply::Done);
    host.ioResult = false;
    EXPECT_FALSE(device.ProbeDevice());
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[1].code, 0x2F0003u);
    EXPECT_EQ(host.calls[1].input, Concat({kPropertySet, {0, 0, 0, 0, 0, 1, 0, 0}}));
    EXPECT_EQ(host.calls[1].outputSize, 0u);
    EXPECT_TRUE(device.IsOpen());  // the probe leaves the device's own handle alone
    EXPECT_TRUE(device.IsPresent());
}

}  // namespace
