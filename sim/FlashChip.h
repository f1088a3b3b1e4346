#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qv::sim {

// One SPI NOR flash part as its datasheet describes it. The simulated flash takes its whole
// behaviour (identification, geometry, busy times) from this record, so another part is
// another table entry. Times are typical figures, in microseconds.
struct FlashChip {
    std::string_view name;
    std::array<std::uint8_t, 3> jedecId;  // manufacturer, memory type, capacity
    std::uint32_t sizeBytes;
    std::uint32_t pageSize;    // a page program wraps inside a page of this size
    std::uint32_t sectorSize;  // the unit of the sector erase
    std::uint32_t pageProgramUs;
    std::uint32_t sectorEraseUs;
    std::uint32_t chipEraseUs;
    std::uint32_t statusWriteUs;
};

inline constexpr std::array kFlashChips{
    // An 8 Mbit part with 256-byte pages: the flash of the user's device.
    FlashChip{.name = "W25Q80",
              .jedecId = {0xEF, 0x40, 0x14},
              .sizeBytes = 1u << 20,
              .pageSize = 256,
              .sectorSize = 4096,
              .pageProgramUs = 700,
              .sectorEraseUs = 45'000,
              .chipEraseUs = 2'000'000,
              .statusWriteUs = 10'000},
    // A 4 Mbit part with a 32-byte page buffer; the tool programs it in 32-byte pages.
    FlashChip{.name = "C2-22-512K",
              .jedecId = {0xC2, 0x22, 0x13},
              .sizeBytes = 512u << 10,
              .pageSize = 32,
              .sectorSize = 4096,
              .pageProgramUs = 300,
              .sectorEraseUs = 60'000,
              .chipEraseUs = 1'000'000,
              .statusWriteUs = 10'000},
};

constexpr const FlashChip& DefaultFlashChip() { return kFlashChips[0]; }

}  // namespace qv::sim
