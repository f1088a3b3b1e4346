#include "chip/I2cTransactions.h"

#include "chip/I2cMaster.h"

namespace qv {

static constexpr int kAddressAttempts = 10;

// Start condition and address byte until the slave acknowledges, with no stop in between;
// after the last refused attempt the bus is released with a stop.
static bool AddressSlave(QuorvexUsb& device, std::uint8_t addressByte) {
    for (int attempt = 0; attempt < kAddressAttempts; ++attempt) {
        I2CStart(device);
        if (I2CSendByte(device, addressByte)) return true;
    }
    I2CStop(device);
    return false;
}

// A slave that refuses a byte does not end the transaction.
static void SendBytes(QuorvexUsb& device, std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) I2CSendByte(device, byte);
}

static bool Write(QuorvexUsb& device, std::uint8_t address, std::span<const std::uint8_t> first,
                  std::span<const std::uint8_t> then) {
    if (!AddressSlave(device, address)) return false;
    SendBytes(device, first);
    SendBytes(device, then);
    I2CStop(device);
    return true;
}

static bool Read(QuorvexUsb& device, std::uint8_t address, std::span<const std::uint8_t> sent,
                 std::span<std::uint8_t> buffer) {
    if (!AddressSlave(device, address)) return false;
    SendBytes(device, sent);
    if (!AddressSlave(device, address | 0x01)) return false;
    for (std::size_t i = 0; i < buffer.size(); ++i)
        I2CReceiveByte(device, i + 1 == buffer.size(), buffer[i]);
    I2CStop(device);
    return true;
}

bool I2CWriteRegisters(QuorvexUsb& device, std::uint8_t address, std::uint8_t subAddress,
                       std::span<const std::uint8_t> data) {
    return Write(device, address, std::span(&subAddress, 1), data);
}

bool I2CReadRegisters(QuorvexUsb& device, std::uint8_t address, std::uint8_t subAddress,
                      std::span<std::uint8_t> buffer) {
    return Read(device, address, std::span(&subAddress, 1), buffer);
}

bool I2CWriteCommand(QuorvexUsb& device, std::uint8_t address,
                     std::span<const std::uint8_t> commands, std::span<const std::uint8_t> data) {
    return Write(device, address, commands, data);
}

bool I2CReadCommand(QuorvexUsb& device, std::uint8_t address,
                    std::span<const std::uint8_t> commands, std::span<std::uint8_t> buffer) {
    return Read(device, address, commands, buffer);
}

}  // namespace qv
