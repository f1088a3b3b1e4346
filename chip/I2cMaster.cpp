#include "chip/I2cMaster.h"

#include "chip/Registers.h"

namespace qv {

// Done once the transfer is done or the polls ran out (the master is then taken to have
// finished, as the window always has); the failed status read otherwise.
static Reply WaitUntilDone(QuorvexUsb& device) {
    for (int poll = 0; poll < kI2cStatusPolls; ++poll) {
        const auto done = I2CTransferDone(device);
        if (!done.Ok() || done.value) return done.reply;
    }
    return Reply::Done;
}

static ReplyWith<std::uint8_t> ReadStatus(QuorvexUsb& device) {
    std::uint8_t status = 0;
    const Reply reply = ReadRegister(device, kI2cControlRegister, status);
    return {reply, status};
}

Reply I2CSetup(QuorvexUsb& device) {
    return WriteRegisters(device, {{kBankSelectRegister, kI2cBank},
                                   {kI2cSetupRegister, kI2cSetupValue}});
}

Reply I2CStart(QuorvexUsb& device) {
    return WriteRegister(device, kI2cControlRegister, kI2cStartCondition);
}

Reply I2CStop(QuorvexUsb& device) {
    return WriteRegister(device, kI2cControlRegister, kI2cStopCondition);
}

ReplyWith<bool> I2CTransferDone(QuorvexUsb& device) {
    const auto status = ReadStatus(device);
    return {status.reply, status.Ok() && (status.value & kI2cDoneBit) != 0};
}

ReplyWith<bool> I2CAcknowledged(QuorvexUsb& device) {
    const auto status = ReadStatus(device);
    return {status.reply, status.Ok() && (status.value & kI2cNotAcknowledgedBit) == 0};
}

ReplyWith<bool> I2CSendByte(QuorvexUsb& device, std::uint8_t byte) {
    // The transmit command goes first; writing the byte sets the transfer going.
    const Reply sent = WriteRegisters(
        device, {{kI2cCommandRegister, kI2cTransmitCommand}, {kI2cTransmitRegister, byte}});
    if (sent != Reply::Done) return {sent};
    if (const Reply waited = WaitUntilDone(device); waited != Reply::Done) return {waited};
    return I2CAcknowledged(device);
}

Reply I2CReceiveByte(QuorvexUsb& device, bool last, std::uint8_t& byte) {
    const Reply started = WriteRegisters(
        device, {{kI2cControlRegister, last ? kI2cReceiveLast : kI2cReceiveMore},
                 {kI2cCommandRegister, kI2cReceiveCommand}});
    if (started != Reply::Done) return started;
    if (const Reply waited = WaitUntilDone(device); waited != Reply::Done) return waited;
    return ReadRegister(device, kI2cReceiveRegister, byte);
}

}  // namespace qv
