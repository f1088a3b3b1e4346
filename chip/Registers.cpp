#include "chip/Registers.h"

namespace qv {

static constexpr std::uint8_t kRegisterReadRequest = 0x91;
static constexpr std::uint8_t kRegisterWriteRequest = 0x90;

bool ReadRegister(QuorvexUsb& device, std::uint8_t address, std::uint8_t& value) {
    std::uint8_t received = 0;
    if (!device.VendorRequest(kVendorIn, kRegisterReadRequest, 0, address, std::span(&received, 1)))
        return false;
    value = received;
    return true;
}

bool WriteRegister(QuorvexUsb& device, std::uint8_t address, std::uint8_t value) {
    return device.VendorRequest(kVendorOut, kRegisterWriteRequest, 0, address,
                                std::span(&value, 1));
}

bool SelectBank(QuorvexUsb& device, std::uint8_t bank) {
    return WriteRegister(device, kBankSelectRegister, bank);
}

}  // namespace qv
