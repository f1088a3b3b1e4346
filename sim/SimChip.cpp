#include "sim/SimChip.h"

#include <algorithm>
#include <utility>

#include "sim/DemoFirmware.h"

namespace qv::sim {

SimIdentity UserDeviceIdentity() { return {}; }

SimIdentity FirmwareUpdateIdentity(std::uint16_t vendorId) {
    return {.vendorId = vendorId,
            .productId = 0x6000,
            .onAudioClass = false,
            .onGenericClass = true,
            .firmwareUpdateLoader = true,
            .serialNumber = {}};
}

SimChip::SimChip(SimClock& clock, SimIdentity identity, const FlashChip& flashChip)
    : clock_(clock),
      identity_(identity),
      flash_(clock, flashChip, faults_.flash),
      flashBridge_(clock, flash_, faults_, !identity.firmwareUpdateLoader) {
    if (!identity.firmwareUpdateLoader) flash_.Store(0, DemoFirmware());
    peripherals_.push_back(&i2c_);
    peripherals_.push_back(&mailbox_);
    peripherals_.push_back(&playback_);
}

std::uint8_t SimChip::Register(std::uint8_t bank, std::uint8_t address) const {
    if (address == kBankSelect) return bank_;
    const auto found = banks_.find(bank);
    return found == banks_.end() ? 0 : found->second[address];
}

void SimChip::SetRegister(std::uint8_t bank, std::uint8_t address, std::uint8_t value) {
    if (address == kBankSelect) {
        bank_ = value;
        return;
    }
    auto [entry, inserted] = banks_.try_emplace(bank);
    if (inserted) entry->second.fill(0);
    entry->second[address] = value;
}

std::array<std::uint8_t, 18> SimChip::DeviceDescriptor() const {
    std::array<std::uint8_t, 18> descriptor{};
    descriptor[0] = 18;    // bLength
    descriptor[1] = 1;     // bDescriptorType: device
    descriptor[3] = 0x02;  // bcdUSB 2.00
    descriptor[7] = 64;    // bMaxPacketSize0
    descriptor[8] = static_cast<std::uint8_t>(identity_.vendorId);
    descriptor[9] = static_cast<std::uint8_t>(identity_.vendorId >> 8);
    descriptor[10] = static_cast<std::uint8_t>(identity_.productId);
    descriptor[11] = static_cast<std::uint8_t>(identity_.productId >> 8);
    descriptor[13] = 0x01;  // bcdDevice 1.00
    descriptor[14] = 1;     // iManufacturer
    descriptor[15] = 2;     // iProduct
    descriptor[16] = 3;     // iSerialNumber
    descriptor[17] = 1;     // bNumConfigurations
    return descriptor;
}

bool SimChip::BeginTransfer(std::uint8_t request) {
    if (keepRequestLog_) requestLog_.push_back(request);
    auto due = std::stable_partition(armed_.begin(), armed_.end(), [&](const ArmedFault& fault) {
        return fault.afterTransfers > transfers_;
    });
    std::vector<ArmedFault> firing(std::make_move_iterator(due), std::make_move_iterator(armed_.end()));
    armed_.erase(due, armed_.end());
    for (ArmedFault& fault : firing) fault.arm(*this);
    ++transfers_;
    return !faults_.stalledTransfers.contains(transfers_);
}

bool SimChip::SupportQuery() {
    return BeginTransfer(kSupportQueryEntry) && !faults_.refuseSupportQuery && !faults_.silent;
}

TransferResult SimChip::Control(const ControlSetup& setup, std::span<const std::uint8_t> outData) {
    if (!BeginTransfer(setup.request) || faults_.stalledRequests.contains(setup.request)) return {};
    if (faults_.silent || faults_.silentTransfers.contains(transfers_)) return {false, {}, true};
    TransferResult result = Answer(setup, outData);
    if (faults_.flippedTransfers.contains(transfers_) && !result.data.empty())
        result.data[0] ^= 0x01;
    return result;
}

TransferResult SimChip::Answer(const ControlSetup& setup, std::span<const std::uint8_t> outData) {
    const bool standard = (setup.requestType & 0x60) == 0;
    if (standard) return StandardRequest(setup);
    if (FlashBridge::Handles(setup.request)) return flashBridge_.Control(setup, outData);
    switch (setup.request) {
        case kRegisterRead:
            return ReadRegisterRequest(setup);
        case kRegisterWrite:
            return WriteRegisterRequest(setup, outData);
        default:
            return {};  // unknown requests stall, as the firmware does
    }
}

RegisterPeripheral* SimChip::PeripheralFor(std::uint8_t address) const {
    if (address == kBankSelect) return nullptr;
    for (RegisterPeripheral* peripheral : peripherals_) {
        if (peripheral->Handles(bank_, address)) return peripheral;
    }
    return nullptr;
}

TransferResult SimChip::ReadRegisterRequest(const ControlSetup& setup) const {
    if (!setup.IsDeviceToHost() || setup.length != 1 || setup.index > 0xFF) return {};
    const auto address = static_cast<std::uint8_t>(setup.index);
    const std::uint8_t stored = Register(bank_, address);
    RegisterPeripheral* peripheral = PeripheralFor(address);
    return {true, {peripheral ? peripheral->Read(bank_, address, stored) : stored}};
}

TransferResult SimChip::WriteRegisterRequest(const ControlSetup& setup,
                                             std::span<const std::uint8_t> outData) {
    if (setup.IsDeviceToHost() || setup.length != 1 || outData.size() != 1 || setup.index > 0xFF)
        return {};
    const auto address = static_cast<std::uint8_t>(setup.index);
    SetRegister(bank_, address, outData[0]);
    if (RegisterPeripheral* peripheral = PeripheralFor(address))
        peripheral->Written(bank_, address, outData[0]);
    return {true, {}};
}

TransferResult SimChip::StandardRequest(const ControlSetup& setup) const {
    constexpr std::uint8_t kGetDescriptor = 6;
    if (!setup.IsDeviceToHost() || setup.request != kGetDescriptor || (setup.value >> 8) != 1)
        return {};
    const auto descriptor = DeviceDescriptor();
    const std::size_t count = std::min<std::size_t>(setup.length, descriptor.size());
    return {true, std::vector<std::uint8_t>(descriptor.begin(), descriptor.begin() + count)};
}

}  // namespace qv::sim
