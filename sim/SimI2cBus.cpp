#include "sim/SimI2cBus.h"

namespace qv::sim {

static constexpr std::uint8_t kControlRegister = 0x10;
static constexpr std::uint8_t kTransmitRegister = 0x12;
static constexpr std::uint8_t kReceiveRegister = 0x13;
static constexpr std::uint8_t kCommandRegister = 0x14;

static constexpr std::uint8_t kStartCondition = 0xC0;
static constexpr std::uint8_t kStopCondition = 0xA0;
static constexpr std::uint8_t kPrepareReceive = 0x80;
static constexpr std::uint8_t kPrepareReceiveLast = 0x90;
static constexpr std::uint8_t kTransmitCommand = 0x01;
static constexpr std::uint8_t kReceiveCommand = 0x03;

static constexpr std::uint8_t kDoneBit = 0x01;
static constexpr std::uint8_t kNotAcknowledgedBit = 0x08;
static constexpr std::uint8_t kReadDirectionBit = 0x01;
static constexpr std::uint8_t kReleasedBus = 0xFF;  // what the master reads when no slave drives

bool SimI2cBus::Handles(std::uint8_t bank, std::uint8_t address) const {
    return bank == kBank && address >= kControlRegister && address <= kCommandRegister;
}

void SimI2cBus::Written(std::uint8_t, std::uint8_t address, std::uint8_t value) {
    switch (address) {
        case kControlRegister:
            Control(value);
            break;
        case kTransmitRegister:
            if (transmitArmed_) {
                transmitArmed_ = false;
                Transmit(value);
            }
            break;
        case kCommandRegister:
            Command(value);
            break;
        default:
            break;  // the set-up and receive registers only hold what was written
    }
}

std::uint8_t SimI2cBus::Read(std::uint8_t, std::uint8_t address, std::uint8_t stored) {
    if (address == kControlRegister) return Status();
    if (address == kReceiveRegister) return received_;
    return stored;
}

void SimI2cBus::Control(std::uint8_t value) {
    switch (value) {
        case kStartCondition:
            StartCondition();
            break;
        case kStopCondition:
            StopCondition();
            break;
        case kPrepareReceive:
            receivePrepared_ = false;
            break;
        case kPrepareReceiveLast:
            receivePrepared_ = true;
            break;
        default:
            break;
    }
}

void SimI2cBus::Command(std::uint8_t value) {
    if (value == kTransmitCommand) {
        transmitArmed_ = true;
    } else if (value == kReceiveCommand && receivePrepared_) {
        const bool last = *receivePrepared_;
        receivePrepared_.reset();
        Receive(last);
    }
}

// Also a repeated start: the slave addressed so far lets go and the next byte is an address.
void SimI2cBus::StartCondition() {
    addressNext_ = true;
    selected_.reset();
}

void SimI2cBus::StopCondition() {
    addressNext_ = false;
    selected_.reset();
    attemptsSinceStop_.clear();
}

void SimI2cBus::BeginTransfer(bool acknowledged) {
    running_ = true;
    done_ = false;
    busyReadsLeft_ = busyStatusReads_;
    acknowledged_ = acknowledged;
}

void SimI2cBus::Transmit(std::uint8_t byte) {
    if (addressNext_) {
        addressNext_ = false;
        AddressByte(byte);
        return;
    }
    SimI2cSlave* slave = Selected();
    ++bytesWritten_;
    const bool accepted = slave && !reading_ &&
                          !(slave->refusesBytesFrom && bytesWritten_ >= *slave->refusesBytesFrom);
    if (accepted && subAddressNext_) {
        slave->subAddress = byte;
        subAddressNext_ = false;
    } else if (accepted) {
        slave->registers[slave->subAddress++] = byte;
    }
    BeginTransfer(accepted);
}

void SimI2cBus::AddressByte(std::uint8_t byte) {
    const auto address = static_cast<std::uint8_t>(byte & ~kReadDirectionBit);
    const auto found = slaves_.find(address);
    if (found == slaves_.end()) {
        BeginTransfer(false);
        return;
    }
    const unsigned attempt = ++attemptsSinceStop_[address];
    const std::optional<unsigned>& from = found->second.acknowledgeFromAttempt;
    const bool reading = (byte & kReadDirectionBit) != 0;
    const bool acknowledged = from && attempt >= *from && !(reading && found->second.refusesReads);
    if (acknowledged) {
        selected_ = address;
        reading_ = reading;
        subAddressNext_ = !reading_;
        bytesWritten_ = 0;
    }
    BeginTransfer(acknowledged);
}

// The master acknowledges every byte but the last; without that acknowledge the slave stops
// driving the bus until the next start.
void SimI2cBus::Receive(bool last) {
    SimI2cSlave* slave = Selected();
    received_ = slave && reading_ ? slave->registers[slave->subAddress++] : kReleasedBus;
    if (last) selected_.reset();
    BeginTransfer(!last);
}

std::uint8_t SimI2cBus::Status() {
    if (running_ && busyReadsLeft_ == 0) {
        running_ = false;
        done_ = true;
    } else if (running_ && busyReadsLeft_ != kForever) {
        --busyReadsLeft_;
    }
    if (!done_) return kNotAcknowledgedBit;
    return acknowledged_ ? kDoneBit : kDoneBit | kNotAcknowledgedBit;
}

SimI2cSlave* SimI2cBus::Selected() {
    if (!selected_) return nullptr;
    const auto found = slaves_.find(*selected_);
    return found == slaves_.end() ? nullptr : &found->second;
}

}  // namespace qv::sim
