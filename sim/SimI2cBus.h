#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>

#include "sim/RegisterPeripheral.h"

namespace qv::sim {

// A device on the simulated I2C bus: 256 one-byte registers behind an auto-incrementing
// sub-address. In a write, the first byte after the address sets the sub-address and every
// further byte is stored there; in a read, every byte comes from the sub-address. Either way
// the sub-address moves on by one after each byte, wrapping from 0xFF to 0x00.
struct SimI2cSlave {
    std::array<std::uint8_t, 256> registers{};
    std::uint8_t subAddress = 0;
    // The address is acknowledged from this attempt on, counted from 1 since the last stop
    // condition (a slave still busy with earlier work); nothing: never.
    std::optional<unsigned> acknowledgeFromAttempt = 1;
    // Bytes written after the address, from this one on (counted from 1, the sub-address
    // first), are neither acknowledged nor stored; nothing: every byte is taken.
    std::optional<unsigned> refusesBytesFrom;
    // The address is never acknowledged for a read (a device that can only be written).
    bool refusesReads = false;
};

// The chip's I2C master behind registers 0x10 to 0x14 of bank 0x0E, and the bus behind it.
// Control register 0x10: 0xC0 start condition, 0xA0 stop, 0x80 / 0x90 prepare to receive a byte
// that is not / is the last (the master acknowledges / does not); read back it is the status,
// bit 0 done and bit 3 not acknowledged. The transmit command (0x01 to 0x14) arms the master and
// the byte written to 0x12 then goes out; the receive command (0x03 to 0x14) clocks in a byte
// after a preparation and leaves it in 0x13. A byte written without the command before it, or
// a receive command without a preparation, sets nothing going. The set-up register 0x11 holds
// what was written. Slaves are keyed by their 8-bit write address; the default chip has two,
// at 0x20 and 0x60.
class SimI2cBus : public RegisterPeripheral {
public:
    static constexpr std::uint8_t kBank = 0x0E;
    static constexpr unsigned kForever = std::numeric_limits<unsigned>::max();

    std::map<std::uint8_t, SimI2cSlave>& Slaves() { return slaves_; }
    // Status reads that still find a started byte transfer running (0: the first one finds it
    // done; kForever: it never finishes). A running transfer reads as not acknowledged.
    void SetBusyStatusReads(unsigned reads) { busyStatusReads_ = reads; }

    bool Handles(std::uint8_t bank, std::uint8_t address) const override;
    void Written(std::uint8_t bank, std::uint8_t address, std::uint8_t value) override;
    std::uint8_t Read(std::uint8_t bank, std::uint8_t address, std::uint8_t stored) override;

private:
    void Control(std::uint8_t value);
    void Command(std::uint8_t value);
    void StartCondition();
    void StopCondition();
    void BeginTransfer(bool acknowledged);
    void Transmit(std::uint8_t byte);
    void AddressByte(std::uint8_t byte);
    void Receive(bool last);
    std::uint8_t Status();
    SimI2cSlave* Selected();  // nothing once that slave has been taken off the bus

    std::map<std::uint8_t, SimI2cSlave> slaves_{{0x20, {}}, {0x60, {}}};
    unsigned busyStatusReads_ = 0;

    // Bus state.
    bool addressNext_ = false;  // a start condition came: the next byte sent is an address
    std::optional<std::uint8_t> selected_;  // the slave that acknowledged its address
    bool reading_ = false;                  // the selected slave was addressed for a read
    bool subAddressNext_ = false;  // the next byte written sets the selected slave's sub-address
    unsigned bytesWritten_ = 0;    // bytes written since the selected slave's address
    std::map<std::uint8_t, unsigned> attemptsSinceStop_;

    // Master state.
    bool transmitArmed_ = false;           // transmit command seen, waiting for the byte
    std::optional<bool> receivePrepared_;  // 0x80 (false) or 0x90 (true, last byte) seen
    bool running_ = false;
    unsigned busyReadsLeft_ = 0;
    bool done_ = false;
    bool acknowledged_ = false;  // outcome of the current transfer, shown once done
    std::uint8_t received_ = 0xFF;
};

}  // namespace qv::sim
