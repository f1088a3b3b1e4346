#include "sim/SimMailbox.h"

#include <algorithm>

namespace qv::sim {
namespace {

constexpr std::uint8_t kCommandRegister = 0x90;
constexpr std::uint8_t kSelectorRegister = 0x91;
constexpr std::uint8_t kOffsetRegister = 0x92;
constexpr std::uint8_t kDataRegister = 0x93;

constexpr std::uint8_t kParameterCommand = 0x10;
constexpr std::uint8_t kParameterDone = 0xEE;
constexpr std::uint8_t kHidKeyCommand = 0x30;
constexpr std::uint8_t kHidKeyTaken = 0x31;

constexpr std::uint8_t kVendorIdWrite = 0x08;
constexpr std::uint8_t kProductIdWrite = 0x0A;
constexpr std::array<std::uint8_t, 3> kStringWrites{0x10, 0x14, 0x18};
constexpr std::uint8_t kOptionsWrite = 0x20;
constexpr std::uint8_t kOptionsRead = 0x21;
constexpr std::uint8_t kEepromPresentBit = 0x80;
constexpr std::size_t kChunkSize = 8;

}  // namespace

std::string SimEeprom::StringText(int number) const {
    const auto& image = strings.at(static_cast<std::size_t>(number - 1));
    const std::size_t length = std::min<std::size_t>(image[0], image.size() - 1);
    return std::string(image.begin() + 1, image.begin() + 1 + static_cast<std::ptrdiff_t>(length));
}

SimMailbox::SimMailbox(SimClock& clock) : clock_(clock) {}

bool SimMailbox::Handles(std::uint8_t bank, std::uint8_t address) const {
    return bank == 0 && address >= kFirst && address <= kLast;
}

void SimMailbox::Written(std::uint8_t, std::uint8_t address, std::uint8_t value) {
    CompleteWhenDue();
    Register(address) = value;
    if (address != kCommandRegister) return;
    const bool command = value == kParameterCommand || value == kHidKeyCommand;
    commandAtUs_ = command ? std::optional(clock_.NowUs()) : std::nullopt;
}

std::uint8_t SimMailbox::Read(std::uint8_t, std::uint8_t address, std::uint8_t) {
    CompleteWhenDue();
    return Register(address);
}

void SimMailbox::CompleteWhenDue() {
    if (!commandAtUs_ || neverAnswers_ || clock_.NowUs() - *commandAtUs_ < answerDelayUs_) return;
    commandAtUs_.reset();
    if (Register(kCommandRegister) == kHidKeyCommand) {
        hidKeys_.push_back(Register(kSelectorRegister));
        Register(kCommandRegister) = kHidKeyTaken;
    } else {
        RunParameterRequest();
        Register(kCommandRegister) = kParameterDone;
    }
}

// Selectors the firmware does not know are answered and change nothing.
void SimMailbox::RunParameterRequest() {
    const std::uint8_t selector = Register(kSelectorRegister);
    const std::uint8_t chunk = Register(kOffsetRegister);
    const auto window = registers_.begin() + (kDataRegister - kFirst);
    if (selector == kVendorIdWrite) std::copy_n(window, 4, eeprom_.vendorId.begin());
    if (selector == kProductIdWrite) std::copy_n(window, 4, eeprom_.productId.begin());
    if (selector == kOptionsWrite) std::copy_n(window, 4, eeprom_.options.begin());
    if (selector == kOptionsRead) {
        std::ranges::copy(eeprom_.options, window);
        window[3] = static_cast<std::uint8_t>(eeprom_.present ? window[3] | kEepromPresentBit
                                                              : window[3] & ~kEepromPresentBit);
    }
    const auto string = std::ranges::find(kStringWrites, selector);
    if (string != kStringWrites.end() && chunk * kChunkSize < eeprom_.strings[0].size()) {
        auto& image = eeprom_.strings[static_cast<std::size_t>(string - kStringWrites.begin())];
        std::copy_n(window, kChunkSize, image.begin() + chunk * kChunkSize);
    }
}

}  // namespace qv::sim
