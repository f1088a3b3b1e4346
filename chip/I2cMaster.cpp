#include "chip/I2cMaster.h"

#include "chip/Registers.h"

namespace qv {

static void WaitUntilDone(QuorvexUsb& device) {
    for (int poll = 0; poll < kI2cStatusPolls; ++poll) {
        if (I2CTransferDone(device)) return;
    }
}

void I2CSetup(QuorvexUsb& device) {
    SelectBank(device, kI2cBank);
    WriteRegister(device, kI2cSetupRegister, kI2cSetupValue);
}

void I2CStart(QuorvexUsb& device) {
    WriteRegister(device, kI2cControlRegister, kI2cStartCondition);
}

void I2CStop(QuorvexUsb& device) { WriteRegister(device, kI2cControlRegister, kI2cStopCondition); }

bool I2CTransferDone(QuorvexUsb& device) {
    std::uint8_t status = 0;
    return ReadRegister(device, kI2cControlRegister, status) && (status & kI2cDoneBit) != 0;
}

bool I2CAcknowledged(QuorvexUsb& device) {
    std::uint8_t status = 0;
    return ReadRegister(device, kI2cControlRegister, status) &&
           (status & kI2cNotAcknowledgedBit) == 0;
}

bool I2CSendByte(QuorvexUsb& device, std::uint8_t byte) {
    // The transmit command goes first; writing the byte sets the transfer going.
    WriteRegister(device, kI2cCommandRegister, kI2cTransmitCommand);
    WriteRegister(device, kI2cTransmitRegister, byte);
    WaitUntilDone(device);
    return I2CAcknowledged(device);
}

bool I2CReceiveByte(QuorvexUsb& device, bool last, std::uint8_t& byte) {
    WriteRegister(device, kI2cControlRegister, last ? kI2cReceiveLast : kI2cReceiveMore);
    WriteRegister(device, kI2cCommandRegister, kI2cReceiveCommand);
    WaitUntilDone(device);
    ReadRegister(device, kI2cReceiveRegister, byte);
    return true;
}

}  // namespace qv
