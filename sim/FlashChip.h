#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qv::sim {

// One SPI NOR flash part as its datasheet describes it. The simulated flash takes its whole
// behaviour (identification, geometry, busy times) from this record, so another part is
// another table entry. Busy times are in microseconds: the typical figure, and the maximum
// the datasheet allows (a slow part, or one near the end of its life, takes that long).
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
    std::uint32_t pageProgramMaxUs;
    std::uint32_t sectorEraseMaxUs;
    std::uint32_t chipEraseMaxUs;
    std::uint32_t statusWriteMaxUs;
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
              .statusWriteUs = 10'000,
              .pageProgramMaxUs = 3'000,
              .sectorEraseMaxUs = 400'000,
              .chipEraseMaxUs = 6'000'000,
              .statusWriteMaxUs = 15'000},
    // A 1 Mbit part with a 32-byte page buffer; the tool programs it in 32-byte pages.
    FlashChip{.name = "MX25L1006",
              .jedecId = {0xC2, 0x22, 0x11},
              .sizeBytes = 128u << 10,
              .pageSize = 32,
              .sectorSize = 4096,
              .pageProgramUs = 600,
              .sectorEraseUs = 40'000,
              .chipEraseUs = 1'000'000,
              .statusWriteUs = 5'000,
              .pageProgramMaxUs = 3'000,
              .sectorEraseMaxUs = 200'000,
              .chipEraseMaxUs = 2'000'000,
              .statusWriteMaxUs = 30'000},
    // A 16 Mbit part: its chip erase may take 25 s.
    FlashChip{.name = "W25Q16",
              .jedecId = {0xEF, 0x40, 0x15},
              .sizeBytes = 2u << 20,
              .pageSize = 256,
              .sectorSize = 4096,
              .pageProgramUs = 700,
              .sectorEraseUs = 45'000,
              .chipEraseUs = 5'000'000,
              .statusWriteUs = 10'000,
              .pageProgramMaxUs = 3'000,
              .sectorEraseMaxUs = 400'000,
              .chipEraseMaxUs = 25'000'000,
              .statusWriteMaxUs = 15'000},
};

constexpr const FlashChip& DefaultFlashChip() { return kFlashChips[0]; }

}  // namespace qv::sim
