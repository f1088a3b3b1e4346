#pragma once

#include <cstdint>

namespace qv::sim {

// A part of the simulated firmware behind some of the chip's registers (the I2C master, the
// mailboxes, the playback status): it sees the host's writes to them and decides what the
// host reads. The chip stores every written value first, so a peripheral only adds behaviour.
class RegisterPeripheral {
public:
    virtual ~RegisterPeripheral() = default;

    virtual bool Handles(std::uint8_t bank, std::uint8_t address) const = 0;
    // The host wrote value to the register; the chip has stored it already.
    virtual void Written(std::uint8_t bank, std::uint8_t address, std::uint8_t value) = 0;
    // The host reads the register; stored is what the chip holds there.
    virtual std::uint8_t Read(std::uint8_t bank, std::uint8_t address, std::uint8_t stored) = 0;
};

}  // namespace qv::sim
