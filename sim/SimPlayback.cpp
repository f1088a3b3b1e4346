#include "sim/SimPlayback.h"

namespace qv::sim {

static constexpr std::uint8_t kRateCodeRegister = 0xA4;
static constexpr std::uint8_t kFlagsRegister = 0xA6;

bool SimPlayback::Handles(std::uint8_t bank, std::uint8_t address) const {
    return bank == 0 && address >= kRateCodeRegister && address <= kFlagsRegister;
}

std::uint8_t SimPlayback::Read(std::uint8_t, std::uint8_t address, std::uint8_t stored) {
    if (address == kRateCodeRegister) return stream_.rateCode;
    if (address != kFlagsRegister) return stored;
    return static_cast<std::uint8_t>((stream_.connected ? 0x01 : 0) | (stream_.dsd ? 0x02 : 0) |
                                     (stream_.muted ? 0x04 : 0));
}

}  // namespace qv::sim
