#include "fuzz/ChipOperations.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "chip/EepromMailbox.h"
#include "chip/FlashOperations.h"
#include "chip/HidKeys.h"
#include "chip/I2cMaster.h"
#include "chip/I2cTransactions.h"
#include "chip/MailboxRegisters.h"
#include "chip/PlaybackStatus.h"
#include "fuzz/NullView.h"
#include "fuzz/Require.h"
#include "image/ProgramFile.h"
#include "isp/IspJobs.h"

namespace qv::fuzz {

namespace {

// The chip's register write request, which carries every I2C bus event.
constexpr std::uint8_t kRegisterWriteRequest = 0x90;
constexpr std::size_t kMaxI2cCount = 255;
constexpr std::size_t kMaxI2cCommands = 8;
// Longer than the mailbox's data window, to see that nothing past it is touched.
constexpr std::size_t kMaxMailboxData = 2 * kMailboxDataSize;

std::vector<std::uint8_t> Bytes(FuzzedHost& host, std::size_t maxCount) {
    std::vector<std::uint8_t> bytes(host.Input().ConsumeIntegralInRange<std::size_t>(0, maxCount));
    host.Fill(bytes);
    return bytes;
}

std::uint8_t Byte(FuzzedHost& host) { return host.Input().ConsumeIntegral<std::uint8_t>(); }

// Every I2C transaction on an open device ends with a stop condition, so the bus is free for
// the next one whatever the slave did; only a chip gone or silent is sent nothing more.
void RequireEndsWithStop(const FuzzedHost& host, const QuorvexUsb& device, bool open) {
    if (!open || device.Unreachable()) return;
    const auto& setup = host.LastSetup();
    Require(setup.has_value() && !setup->IsDeviceToHost() &&
                setup->request == kRegisterWriteRequest && setup->index == kI2cControlRegister &&
                host.LastOutData() == std::vector<std::uint8_t>{kI2cStopCondition},
            "an I2C transaction ends with a stop condition");
}

// A blank check or verify over at most kMaxJobLength bytes placed anywhere in the address
// space, as a range choice can place them.
void RunFlashJob(FuzzedHost& host, QuorvexUsb& device, bool verify) {
    ProgramFile program;
    ImageBuffer& image = program.ProgramImage;
    image.LoadedLength =
        host.Input().ConsumeIntegralInRange<std::uint32_t>(0, FuzzedHost::kMaxJobLength);
    host.Fill(std::span(image.Bytes).first(image.LoadedLength));
    program.RangeStart = host.Input().ConsumeIntegral<std::uint32_t>();
    const bool wholeFlash = host.Input().ConsumeBool();
    FlashContext flash;
    NullView view;
    IspJobs jobs(device, view, program, flash);
    // The outcome depends on the answers, which are arbitrary here; what is checked is the end.
    const JobResult result = verify ? jobs.Verify(wholeFlash) : jobs.BlankCheck(wholeFlash);
    Require(result.Ok() || !result.text.empty(), "a failed job says why");
    Require(!device.IsOpen(), "a flash job closes the device at its end");
    Require(!jobs.Busy(), "a flash job is over when it returns");
}

}  // namespace

void ReadChipIdOperation(FuzzedHost&, QuorvexUsb& device) {
    FlashContext flash;
    Require(ReadChipId(device, flash) != Reply::Done || device.IsOpen(),
            "a closed device gives no identification");
}

void ReadFlashStatusOperation(FuzzedHost&, QuorvexUsb& device) {
    const bool open = device.IsOpen();
    const auto status = ReadFlashStatus(device);
    Require(open || status.reply == Reply::Gone, "a closed device's status is a device gone");
}

void ReadFlashDataOperation(FuzzedHost& host, QuorvexUsb& device) {
    const auto address = host.Input().ConsumeIntegral<std::uint32_t>();
    std::vector<std::uint8_t> buffer(
        host.Input().ConsumeIntegralInRange<std::size_t>(1, kMaxFlashPage));
    Require(ReadFlashData(device, address, buffer) != Reply::Done || device.IsOpen(),
            "a closed device gives no flash data");
}

void I2CSetupOperation(FuzzedHost&, QuorvexUsb& device) {
    const bool open = device.IsOpen();
    Require(I2CSetup(device) != Reply::Done || open, "a closed device takes no set-up");
}

void I2CWriteRegistersOperation(FuzzedHost& host, QuorvexUsb& device) {
    const std::uint8_t address = Byte(host);
    const std::uint8_t subAddress = Byte(host);
    const auto data = Bytes(host, kMaxI2cCount);
    const bool open = device.IsOpen();
    Require(!I2CWriteRegisters(device, address, subAddress, data).Ok() || open,
            "no slave acknowledges on a closed device");
    RequireEndsWithStop(host, device, open);
}

void I2CReadRegistersOperation(FuzzedHost& host, QuorvexUsb& device) {
    const std::uint8_t address = Byte(host);
    const std::uint8_t subAddress = Byte(host);
    std::vector<std::uint8_t> buffer(
        host.Input().ConsumeIntegralInRange<std::size_t>(0, kMaxI2cCount));
    const bool open = device.IsOpen();
    Require(!I2CReadRegisters(device, address, subAddress, buffer).Ok() || open,
            "no slave acknowledges on a closed device");
    RequireEndsWithStop(host, device, open);
}

void I2CWriteCommandOperation(FuzzedHost& host, QuorvexUsb& device) {
    const std::uint8_t address = Byte(host);
    const auto commands = Bytes(host, kMaxI2cCommands);
    const auto data = Bytes(host, kMaxI2cCount);
    const bool open = device.IsOpen();
    Require(!I2CWriteCommand(device, address, commands, data).Ok() || open,
            "no slave acknowledges on a closed device");
    RequireEndsWithStop(host, device, open);
}

void I2CReadCommandOperation(FuzzedHost& host, QuorvexUsb& device) {
    const std::uint8_t address = Byte(host);
    const auto commands = Bytes(host, kMaxI2cCommands);
    std::vector<std::uint8_t> buffer(
        host.Input().ConsumeIntegralInRange<std::size_t>(0, kMaxI2cCount));
    const bool open = device.IsOpen();
    Require(!I2CReadCommand(device, address, commands, buffer).Ok() || open,
            "no slave acknowledges on a closed device");
    RequireEndsWithStop(host, device, open);
}

void EepromMailboxOperation(FuzzedHost& host, QuorvexUsb& device) {
    const std::uint8_t selector = Byte(host);
    const std::uint8_t offset = Byte(host);
    auto data = Bytes(host, kMaxMailboxData);
    const auto before = data;
    // Whether the firmware completed depends on the answers, which are arbitrary here; a read
    // collects its window even when it did not.
    static_cast<void>(EepromMailbox(device, kParameterCommand, selector, offset, data));
    Require(!device.IsOpen(), "the mailbox closes the device");
    const std::size_t window = std::min(data.size(), kMailboxDataSize);
    Require(std::equal(data.begin() + window, data.end(), before.begin() + window),
            "the mailbox touches nothing past its data window");
}

void ReadDeviceStatusOperation(FuzzedHost&, QuorvexUsb& device) {
    DeviceStatus status;
    const DeviceStatus before = status;
    const Reply read = ReadDeviceStatus(device, status);
    Require(!device.IsOpen(), "the status read closes the device");
    Require(read == Reply::Done || (status.rateCode == before.rateCode &&
                                    status.secondByte == before.secondByte &&
                                    status.flags == before.flags),
            "a status read that failed leaves the status as it was");
    const StatusLabels labels = DescribeStatus(status);
    Require(!labels.connection.empty(), "the connection label always gets a text");
    Require(!labels.rate || labels.rate->size() == kNoRate.size(), "a rate text is 8 characters");
}

void SendHidKeyOperation(FuzzedHost& host, QuorvexUsb& device) {
    const auto key = host.Input().ConsumeIntegralInRange<std::size_t>(0, HidKeyCodes.size() - 1);
    // Whether the firmware took the key depends on the answers, which are arbitrary here.
    static_cast<void>(SendHidKey(device, HidKeyCodes[key]));
    Require(!device.IsOpen(), "sending a key closes the device");
}

void BlankCheckOperation(FuzzedHost& host, QuorvexUsb& device) { RunFlashJob(host, device, false); }

void VerifyOperation(FuzzedHost& host, QuorvexUsb& device) { RunFlashJob(host, device, true); }

}  // namespace qv::fuzz
