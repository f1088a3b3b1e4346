#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "chip/FlashParts.h"

namespace qv::sim {

// One simulated SPI NOR flash part: the tool's record of the part (identification, geometry,
// block-protect bits, erase times) and what only a model of it needs besides (page-program
// and status-write times). The simulated flash takes its whole behaviour from this record, so
// another part is another entry of the tool's table and one line here. Busy times are in
// microseconds: the typical figure, and the maximum the datasheet allows (a slow part, or one
// near the end of its life, takes that long).
struct FlashChip {
    std::string_view name;
    std::array<std::uint8_t, 3> jedecId;  // manufacturer, memory type, capacity
    std::uint32_t sizeBytes;
    std::uint32_t pageSize;    // a page program wraps inside a page of this size
    std::uint32_t sectorSize;  // the unit of the sector erase
    std::uint8_t blockProtectMask;  // the status bits that protect blocks
    std::uint8_t writableStatusBits;  // the non-volatile status bits the part has
    std::uint32_t pageProgramUs;
    std::uint32_t sectorEraseUs;
    std::uint32_t chipEraseUs;
    std::uint32_t statusWriteUs;
    std::uint32_t pageProgramMaxUs;
    std::uint32_t sectorEraseMaxUs;
    std::uint32_t chipEraseMaxUs;
    std::uint32_t statusWriteMaxUs;
    bool uniqueId;  // answers Read Unique ID
};

// The simulated part of a tool's part record, with its page-program and status-write times.
constexpr FlashChip ModelOf(const FlashPart& part, std::uint8_t writableStatusBits,
                            std::uint32_t pageProgramUs, std::uint32_t pageProgramMaxUs,
                            std::uint32_t statusWriteUs, std::uint32_t statusWriteMaxUs) {
    return {part.name,
            part.jedecId,
            part.capacity,
            part.pageSize,
            4096,
            part.blockProtectMask,
            writableStatusBits,
            pageProgramUs,
            part.sectorEraseMs * 1000,
            part.chipEraseMs * 1000,
            statusWriteUs,
            pageProgramMaxUs,
            part.sectorEraseMaxMs * 1000,
            part.chipEraseMaxMs * 1000,
            statusWriteMaxUs,
            part.uniqueId};
}

inline constexpr std::array kFlashChips{
    // The user's device's flash: bits 2-4 protect, 5 and 6 choose how, 7 locks the register.
    ModelOf(kFlashParts[0], 0xFC, 700, 3'000, 10'000, 15'000),
    // 32-byte pages; two block-protect bits (2, 3) and the lock (7), nothing between.
    ModelOf(kFlashParts[1], 0x8C, 600, 3'000, 5'000, 30'000),
    // 16 Mbit: a chip erase may take 25 s.
    ModelOf(kFlashParts[2], 0xFC, 700, 3'000, 10'000, 15'000),
};

constexpr const FlashChip& DefaultFlashChip() { return kFlashChips[0]; }

}  // namespace qv::sim
