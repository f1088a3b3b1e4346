#pragma once

#include <cstdint>

#include "device/QuorvexUsb.h"

namespace qv {

// The chip's I2C master in bank 0x0E, driven one bus event at a time through five registers.
inline constexpr std::uint8_t kI2cControlRegister = 0x10;  // written: bus events; read: status
inline constexpr std::uint8_t kI2cSetupRegister = 0x11;
inline constexpr std::uint8_t kI2cTransmitRegister = 0x12;  // the byte to send
inline constexpr std::uint8_t kI2cReceiveRegister = 0x13;   // the byte just received
inline constexpr std::uint8_t kI2cCommandRegister = 0x14;

// Values written to the control register.
inline constexpr std::uint8_t kI2cStartCondition = 0xC0;
inline constexpr std::uint8_t kI2cStopCondition = 0xA0;
inline constexpr std::uint8_t kI2cReceiveMore = 0x80;  // a byte that is not the last of a read
inline constexpr std::uint8_t kI2cReceiveLast = 0x90;

// Values written to the command register.
inline constexpr std::uint8_t kI2cTransmitCommand = 0x01;
inline constexpr std::uint8_t kI2cReceiveCommand = 0x03;

// Bits of the status (the control register read back).
inline constexpr std::uint8_t kI2cDoneBit = 0x01;  // the current byte transfer is done
inline constexpr std::uint8_t kI2cNotAcknowledgedBit = 0x08;

inline constexpr std::uint8_t kI2cSetupValue = 0x04;
// Status reads spent waiting for one byte before going on as if it had finished.
inline constexpr int kI2cStatusPolls = 20;

// Each returns the first of its requests that did not go through (Done when all did); a status
// comes with the bit asked for.

// Selects bank 0x0E and sets the master up; the window does this when the I2C page becomes
// active, so everything below assumes that bank.
Reply I2CSetup(QuorvexUsb& device);
// A start condition; also the repeated start of a read.
Reply I2CStart(QuorvexUsb& device);
Reply I2CStop(QuorvexUsb& device);
// One status read each: whether the current byte transfer is done, whether the slave
// acknowledged it.
ReplyWith<bool> I2CTransferDone(QuorvexUsb& device);
ReplyWith<bool> I2CAcknowledged(QuorvexUsb& device);
// Sends one byte, waits for it (at most kI2cStatusPolls status reads, then goes on as if it
// had finished) and reads whether the slave acknowledged it.
ReplyWith<bool> I2CSendByte(QuorvexUsb& device, std::uint8_t byte);
// Receives one byte (last: the final byte of a read) into byte; a read of the receive register
// that did not bring its byte leaves byte as it was.
Reply I2CReceiveByte(QuorvexUsb& device, bool last, std::uint8_t& byte);

}  // namespace qv
