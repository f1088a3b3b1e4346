#pragma once

#include <cstdint>
#include <span>

#include "device/QuorvexUsb.h"

namespace qv {

// What the slave said during a transaction that the chip carried out: whether it acknowledged
// its address (ten start-plus-address attempts, then a stop), and whether it acknowledged every
// byte after it. A refused byte does not end the transaction, as on the window's pages.
struct I2cAcknowledges {
    bool address = false;
    bool everyByte = false;
};

// Whole I2C transactions over the chip's master (bank 0x0E selected, device open). address is
// the 8-bit write form of the slave address; the read direction sends address OR 1. Done with
// the slave's acknowledges when every request went through, and every path then ends with a
// stop condition; a request the chip did not carry out ends the transaction at once with its
// reply (a stop is still tried unless the chip is gone or silent). Byte counts are at most 255.

// Sends subAddress, then data.
ReplyWith<I2cAcknowledges> I2CWriteRegisters(QuorvexUsb& device, std::uint8_t address,
                                             std::uint8_t subAddress,
                                             std::span<const std::uint8_t> data);
// Sends subAddress, then after a repeated start reads buffer.size() bytes into buffer; a byte
// not received keeps its value.
ReplyWith<I2cAcknowledges> I2CReadRegisters(QuorvexUsb& device, std::uint8_t address,
                                            std::uint8_t subAddress,
                                            std::span<std::uint8_t> buffer);
// Sends the command bytes and then the data bytes in one write.
ReplyWith<I2cAcknowledges> I2CWriteCommand(QuorvexUsb& device, std::uint8_t address,
                                           std::span<const std::uint8_t> commands,
                                           std::span<const std::uint8_t> data);
// Sends the command bytes, then after a repeated start reads buffer.size() bytes into buffer.
ReplyWith<I2cAcknowledges> I2CReadCommand(QuorvexUsb& device, std::uint8_t address,
                                          std::span<const std::uint8_t> commands,
                                          std::span<std::uint8_t> buffer);

}  // namespace qv
