#pragma once

#include <cstdint>

#include "sim/RegisterPeripheral.h"

namespace qv::sim {

// The audio stream the simulated chip reports.
struct SimStream {
    bool connected = true;
    bool muted = false;
    bool dsd = false;              // DSD (native or DoP) instead of PCM
    std::uint8_t rateCode = 0x00;  // 44.1 kHz for PCM; for DSD 0-3 DoP 64-512, 8-11 DSD 64-512
};

// The playback status registers of bank 0: 0xA4 the rate code, 0xA5 a byte the host does not
// use (it reads what was last stored there), 0xA6 the flags (bit 0 connected, bit 1 DSD,
// bit 2 muted). The host's writes do not change the stream.
class SimPlayback : public RegisterPeripheral {
public:
    SimStream& Stream() { return stream_; }

    bool Handles(std::uint8_t bank, std::uint8_t address) const override;
    void Written(std::uint8_t, std::uint8_t, std::uint8_t) override {}
    std::uint8_t Read(std::uint8_t bank, std::uint8_t address, std::uint8_t stored) override;

private:
    SimStream stream_;
};

}  // namespace qv::sim
