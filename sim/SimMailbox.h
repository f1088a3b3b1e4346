#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/RegisterPeripheral.h"
#include "sim/SimClock.h"

namespace qv::sim {

// What the firmware keeps in its EEPROM: the blocks as the parameter mailbox delivered them.
struct SimEeprom {
    bool present = true;  // reported in byte 3 bit 7 of the options a read returns
    std::array<std::uint8_t, 4> vendorId{};
    std::array<std::uint8_t, 4> productId{};
    // Descriptor strings 1 to 3 as images: a length byte, then the characters.
    std::array<std::array<std::uint8_t, 32>, 3> strings{};
    std::array<std::uint8_t, 4> options{0xA1, 0x00, 0x00, 0x00};

    // The characters of string 1, 2 or 3, as many as its length byte says (at most 31).
    std::string StringText(int number) const;
};

// The firmware's command mailbox, registers 0x90 to 0x9A of bank 0. Command 0x10 is an EEPROM
// parameter request (selector in 0x91, chunk in 0x92, data window 0x93 to 0x9A), answered by
// 0xEE in 0x90; command 0x30 takes the HID key code in 0x91, answered by 0x31. The firmware
// carries a command out, and answers, once the answer delay has passed since the command.
class SimMailbox : public RegisterPeripheral {
public:
    explicit SimMailbox(SimClock& clock);

    SimEeprom& Eeprom() { return eeprom_; }
    // The HID key codes the firmware has taken, in order.
    const std::vector<std::uint8_t>& HidKeys() const { return hidKeys_; }
    void SetAnswerDelayUs(std::uint64_t delayUs) { answerDelayUs_ = delayUs; }
    // A firmware that takes no command: register 0x90 keeps what the host wrote.
    void SetNeverAnswers(bool never) { neverAnswers_ = never; }

    bool Handles(std::uint8_t bank, std::uint8_t address) const override;
    void Written(std::uint8_t bank, std::uint8_t address, std::uint8_t value) override;
    std::uint8_t Read(std::uint8_t bank, std::uint8_t address, std::uint8_t stored) override;

private:
    void CompleteWhenDue();
    void RunParameterRequest();
    std::uint8_t& Register(std::uint8_t address) { return registers_[address - kFirst]; }

    static constexpr std::uint8_t kFirst = 0x90;
    static constexpr std::uint8_t kLast = 0x9A;

    SimClock& clock_;
    SimEeprom eeprom_;
    std::vector<std::uint8_t> hidKeys_;
    std::array<std::uint8_t, kLast - kFirst + 1> registers_{};
    std::optional<std::uint64_t> commandAtUs_;  // a command is waiting for the firmware
    std::uint64_t answerDelayUs_ = 5000;
    bool neverAnswers_ = false;
};

}  // namespace qv::sim
