#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <vector>

#include "device/host/DriverCall.h"
#include "sim/SimClock.h"

namespace qv::sim {

// How a simulated device shows itself on the bus.
struct SimIdentity {
    std::uint16_t vendorId = 0x6B94;
    std::uint16_t productId = 0xF82D;
    bool onAudioClass = true;    // audio interface bound to the audio driver
    bool onGenericClass = true;  // listed among the generic USB device interfaces
};

// The user's device and the two firmware-update devices.
SimIdentity UserDeviceIdentity();
SimIdentity FirmwareUpdateIdentity(std::uint16_t vendorId);

// Faults a test or demo can set on a simulated device.
struct SimFaults {
    std::set<std::uint8_t> stalledRequests;  // these request numbers stall
    bool refuseSupportQuery = false;          // the audio driver denies the property set
};

struct TransferResult {
    bool ok = false;
    std::vector<std::uint8_t> data;  // the device's bytes of a device-to-host transfer
};

// The firmware side of the simulated chip: answers control transfers on endpoint 0.
class SimChip {
public:
    static constexpr std::uint8_t kRegisterRead = 0x91;
    static constexpr std::uint8_t kRegisterWrite = 0x90;
    static constexpr std::uint8_t kBankSelect = 0x00;

    SimChip(SimClock& clock, SimIdentity identity);

    const SimIdentity& Identity() const { return identity_; }
    SimFaults& Faults() { return faults_; }
    SimClock& Clock() { return clock_; }

    TransferResult Control(const ControlSetup& setup, std::span<const std::uint8_t> outData);
    bool SupportsPropertySet() const { return !faults_.refuseSupportQuery; }

    std::uint8_t Register(std::uint8_t bank, std::uint8_t address) const;
    void SetRegister(std::uint8_t bank, std::uint8_t address, std::uint8_t value);
    std::uint8_t CurrentBank() const { return bank_; }

    std::array<std::uint8_t, 18> DeviceDescriptor() const;

private:
    TransferResult ReadRegisterRequest(const ControlSetup& setup) const;
    TransferResult WriteRegisterRequest(const ControlSetup& setup,
                                        std::span<const std::uint8_t> outData);
    TransferResult StandardRequest(const ControlSetup& setup) const;

    SimClock& clock_;
    SimIdentity identity_;
    SimFaults faults_;
    std::uint8_t bank_ = 0;
    std::map<std::uint8_t, std::array<std::uint8_t, 256>> banks_;
};

}  // namespace qv::sim
