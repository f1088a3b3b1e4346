#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "device/host/DriverCall.h"
#include "sim/FlashBridge.h"
#include "sim/FlashChip.h"
#include "sim/RegisterPeripheral.h"
#include "sim/SimClock.h"
#include "sim/SimFaults.h"
#include "sim/SimFlash.h"
#include "sim/SimI2cBus.h"
#include "sim/SimMailbox.h"
#include "sim/SimPlayback.h"
#include "sim/TransferResult.h"

namespace qv::sim {

// How a simulated device shows itself on the bus.
struct SimIdentity {
    std::uint16_t vendorId = 0x6B94;
    std::uint16_t productId = 0xF82D;
    bool onAudioClass = true;    // audio interface bound to the audio driver
    bool onGenericClass = true;  // listed among the generic USB device interfaces
    // The chip runs its firmware-update loader instead of the user's firmware: the flash
    // requests need no ISP mode, and the flash starts erased instead of holding the demo.
    bool firmwareUpdateLoader = false;
    // The USB serial-number string; empty: the bus gives the board its port's ("QV000001" on
    // port 1-1), so a board keeps its serial across runs.
    std::string serialNumber;
};

// The user's device and the two firmware-update devices.
SimIdentity UserDeviceIdentity();
SimIdentity FirmwareUpdateIdentity(std::uint16_t vendorId);

// The firmware side of the simulated chip: answers control transfers on endpoint 0.
class SimChip {
public:
    static constexpr std::uint8_t kRegisterRead = 0x91;
    static constexpr std::uint8_t kRegisterWrite = 0x90;
    static constexpr std::uint8_t kBankSelect = 0x00;

    SimChip(SimClock& clock, SimIdentity identity, const FlashChip& flashChip = DefaultFlashChip());

    const SimIdentity& Identity() const { return identity_; }
    SimFaults& Faults() { return faults_; }
    // Breaks the chip once it has received this many transfers (the audio driver's support
    // question counts as one, as in the trace): for fault sweeps and --sim-fault. Several
    // faults may be armed at once.
    void ArmFaultsAfter(std::uint64_t transfers, std::function<void(SimChip&)> arm) {
        armed_.push_back({transfers, std::move(arm)});
    }
    // The request number of every transfer received, in order, while asked to keep them (the
    // support question as kSupportQueryEntry): a sweep arms a fault only at the transfers it
    // acts on, also when several devices' transfers interleave in the trace.
    static constexpr std::uint8_t kSupportQueryEntry = 0xFF;
    void KeepRequestLog(bool keep) { keepRequestLog_ = keep; }
    const std::vector<std::uint8_t>& RequestLog() const { return requestLog_; }
    SimClock& Clock() { return clock_; }
    SimFlash& Flash() { return flash_; }
    SimI2cBus& I2c() { return i2c_; }
    SimMailbox& Mailbox() { return mailbox_; }
    SimPlayback& Playback() { return playback_; }
    bool InIspMode() const { return flashBridge_.InIspMode(); }
    // The chip's time at its last transfer: a board is never driven at an earlier time, so a
    // thread that reaches it behind that time waits until then.
    std::uint64_t& LastTransferNs() { return lastTransferNs_; }

    TransferResult Control(const ControlSetup& setup, std::span<const std::uint8_t> outData);
    // The audio driver's question whether the chip carries the private property set.
    bool SupportQuery();

    // What the chip holds in a register (no peripheral is asked), and storing a value there
    // without a peripheral seeing it: for peripherals and tests.
    std::uint8_t Register(std::uint8_t bank, std::uint8_t address) const;
    void SetRegister(std::uint8_t bank, std::uint8_t address, std::uint8_t value);
    std::uint8_t CurrentBank() const { return bank_; }

    std::array<std::uint8_t, 18> DeviceDescriptor() const;

private:
    TransferResult Answer(const ControlSetup& setup, std::span<const std::uint8_t> outData);
    TransferResult ReadRegisterRequest(const ControlSetup& setup) const;
    TransferResult WriteRegisterRequest(const ControlSetup& setup,
                                        std::span<const std::uint8_t> outData);
    TransferResult StandardRequest(const ControlSetup& setup) const;
    RegisterPeripheral* PeripheralFor(std::uint8_t address) const;
    // Counts one transfer, fires the faults armed for this point; false when it stalls.
    bool BeginTransfer(std::uint8_t request);

    SimClock& clock_;
    SimIdentity identity_;
    std::uint64_t lastTransferNs_ = 0;
    SimFaults faults_;
    SimFlash flash_;
    FlashBridge flashBridge_;
    SimI2cBus i2c_;
    SimMailbox mailbox_{clock_};
    SimPlayback playback_;
    std::uint8_t bank_ = 0;
    std::uint64_t transfers_ = 0;  // control transfers and support questions received
    struct ArmedFault {
        std::uint64_t afterTransfers;
        std::function<void(SimChip&)> arm;
    };
    std::vector<ArmedFault> armed_;
    bool keepRequestLog_ = false;
    std::vector<std::uint8_t> requestLog_;
    std::map<std::uint8_t, std::array<std::uint8_t, 256>> banks_;
    std::vector<RegisterPeripheral*>
        peripherals_;  // members of this chip, installed at construction
};

}  // namespace qv::sim
