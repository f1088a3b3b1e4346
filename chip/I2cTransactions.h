#pragma once

#include <cstdint>
#include <span>

#include "device/QuorvexUsb.h"

namespace qv {

// Whole I2C transactions over the chip's master (bank 0x0E selected, device open). address is
// the 8-bit write form of the slave address; the read direction sends address OR 1. Each
// returns false only when the slave never acknowledged an address (ten start-plus-address
// attempts, then a stop); the acknowledges of the bytes that follow are not looked at. Every
// path ends with a stop condition. Byte counts are at most 255.

// Sends subAddress, then data.
bool I2CWriteRegisters(QuorvexUsb& device, std::uint8_t address, std::uint8_t subAddress,
                       std::span<const std::uint8_t> data);
// Sends subAddress, then after a repeated start reads buffer.size() bytes into buffer.
bool I2CReadRegisters(QuorvexUsb& device, std::uint8_t address, std::uint8_t subAddress,
                      std::span<std::uint8_t> buffer);
// Sends the command bytes and then the data bytes in one write.
bool I2CWriteCommand(QuorvexUsb& device, std::uint8_t address,
                     std::span<const std::uint8_t> commands, std::span<const std::uint8_t> data);
// Sends the command bytes, then after a repeated start reads buffer.size() bytes into buffer.
bool I2CReadCommand(QuorvexUsb& device, std::uint8_t address,
                    std::span<const std::uint8_t> commands, std::span<std::uint8_t> buffer);

}  // namespace qv
