#include "chip/Registers.h"

namespace qv {

static constexpr std::uint8_t kRegisterReadRequest = 0x91;
static constexpr std::uint8_t kRegisterWriteRequest = 0x90;

Reply ReadRegister(QuorvexUsb& device, std::uint8_t address, std::uint8_t& value) {
    std::uint8_t received = 0;
    const Reply reply =
        device.VendorRequest(kVendorIn, kRegisterReadRequest, 0, address, std::span(&received, 1));
    if (reply == Reply::Done) value = received;
    return reply;
}

Reply WriteRegister(QuorvexUsb& device, std::uint8_t address, std::uint8_t value) {
    return device.VendorRequest(kVendorOut, kRegisterWriteRequest, 0, address,
                                std::span(&value, 1));
}

Reply SelectBank(QuorvexUsb& device, std::uint8_t bank) {
    return WriteRegister(device, kBankSelectRegister, bank);
}

Reply WriteRegisters(QuorvexUsb& device,
                     std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> writes) {
    for (const auto& [address, value] : writes)
        if (const Reply reply = WriteRegister(device, address, value); reply != Reply::Done)
            return reply;
    return Reply::Done;
}

}  // namespace qv
