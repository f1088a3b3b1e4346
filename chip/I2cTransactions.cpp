#include "chip/I2cTransactions.h"

#include "chip/I2cMaster.h"

namespace qv {
namespace {

constexpr int kAddressAttempts = 10;

// A transaction the chip stopped carrying out: the bus is released if the chip can still hear
// it. The stop's own reply is not looked at: the transaction has failed already, with the
// reply that ended it.
ReplyWith<I2cAcknowledges> Abandoned(QuorvexUsb& device, Reply reply) {
    if (!device.Unreachable()) static_cast<void>(I2CStop(device));
    return {reply};
}

// Start condition and address byte until the slave acknowledges, with no stop in between;
// after the last refused attempt the bus is released with a stop.
ReplyWith<bool> AddressSlave(QuorvexUsb& device, std::uint8_t addressByte) {
    for (int attempt = 0; attempt < kAddressAttempts; ++attempt) {
        if (const Reply started = I2CStart(device); started != Reply::Done) return {started};
        const auto sent = I2CSendByte(device, addressByte);
        if (!sent.Ok() || sent.value) return sent;
    }
    return {I2CStop(device), false};
}

// Each byte whatever the slave said of the one before; value: whether it acknowledged all.
ReplyWith<bool> SendBytes(QuorvexUsb& device, std::span<const std::uint8_t> bytes) {
    bool every = true;
    for (const std::uint8_t byte : bytes) {
        const auto sent = I2CSendByte(device, byte);
        if (!sent.Ok()) return {sent.reply};
        every = every && sent.value;
    }
    return {Reply::Done, every};
}

ReplyWith<I2cAcknowledges> Write(QuorvexUsb& device, std::uint8_t address,
                                 std::span<const std::uint8_t> first,
                                 std::span<const std::uint8_t> then) {
    const auto addressed = AddressSlave(device, address);
    if (!addressed.Ok()) return Abandoned(device, addressed.reply);
    if (!addressed.value) return {Reply::Done, {}};
    const auto firstSent = SendBytes(device, first);
    if (!firstSent.Ok()) return Abandoned(device, firstSent.reply);
    const auto thenSent = SendBytes(device, then);
    if (!thenSent.Ok()) return Abandoned(device, thenSent.reply);
    return {I2CStop(device), {true, firstSent.value && thenSent.value}};
}

ReplyWith<I2cAcknowledges> Read(QuorvexUsb& device, std::uint8_t address,
                                std::span<const std::uint8_t> sent,
                                std::span<std::uint8_t> buffer) {
    const auto addressed = AddressSlave(device, address);
    if (!addressed.Ok()) return Abandoned(device, addressed.reply);
    if (!addressed.value) return {Reply::Done, {}};
    const auto sentBytes = SendBytes(device, sent);
    if (!sentBytes.Ok()) return Abandoned(device, sentBytes.reply);
    const auto readAddressed = AddressSlave(device, address | 0x01);
    if (!readAddressed.Ok()) return Abandoned(device, readAddressed.reply);
    if (!readAddressed.value) return {Reply::Done, {}};
    for (std::size_t i = 0; i < buffer.size(); ++i)
        if (const Reply received = I2CReceiveByte(device, i + 1 == buffer.size(), buffer[i]);
            received != Reply::Done)
            return Abandoned(device, received);
    return {I2CStop(device), {true, sentBytes.value}};
}

}  // namespace

ReplyWith<I2cAcknowledges> I2CWriteRegisters(QuorvexUsb& device, std::uint8_t address,
                                             std::uint8_t subAddress,
                                             std::span<const std::uint8_t> data) {
    return Write(device, address, std::span(&subAddress, 1), data);
}

ReplyWith<I2cAcknowledges> I2CReadRegisters(QuorvexUsb& device, std::uint8_t address,
                                            std::uint8_t subAddress,
                                            std::span<std::uint8_t> buffer) {
    return Read(device, address, std::span(&subAddress, 1), buffer);
}

ReplyWith<I2cAcknowledges> I2CWriteCommand(QuorvexUsb& device, std::uint8_t address,
                                           std::span<const std::uint8_t> commands,
                                           std::span<const std::uint8_t> data) {
    return Write(device, address, commands, data);
}

ReplyWith<I2cAcknowledges> I2CReadCommand(QuorvexUsb& device, std::uint8_t address,
                                          std::span<const std::uint8_t> commands,
                                          std::span<std::uint8_t> buffer) {
    return Read(device, address, commands, buffer);
}

}  // namespace qv
