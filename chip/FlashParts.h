#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qv {

// One SPI NOR flash part as the tool needs to know it: what its identification names, how
// large it is, how many bytes one page-program instruction takes, which status bits protect
// its blocks, how long its erases may take (the datasheet's typical and maximum figures), and
// whether it answers a unique 64-bit ID to the Read Unique ID instruction.
// The simulator builds its parts from these records too, adding what only a model needs.
struct FlashPart {
    std::string_view name;
    std::array<std::uint8_t, 3> jedecId;  // manufacturer, memory type, capacity
    std::uint32_t capacity;               // bytes
    std::uint16_t pageSize;               // bytes per page-program instruction
    std::uint8_t blockProtectMask;        // the status register's block-protect bits
    std::uint32_t sectorEraseMs;
    std::uint32_t sectorEraseMaxMs;
    std::uint32_t chipEraseMs;
    std::uint32_t chipEraseMaxMs;
    bool uniqueId;
};

inline constexpr std::array kFlashParts{
    // 8 Mbit, three block-protect bits: the flash of the user's device.
    FlashPart{"W25Q80", {0xEF, 0x40, 0x14}, 1u << 20, 256, 0x1C, 45, 400, 2'000, 6'000, true},
    // 1 Mbit with a 32-byte page buffer and two block-protect bits.
    FlashPart{"MX25L1006", {0xC2, 0x22, 0x11}, 128u << 10, 32, 0x0C, 40, 200, 1'000, 2'000, false},
    // 16 Mbit: its chip erase may take 25 s.
    FlashPart{"W25Q16", {0xEF, 0x40, 0x15}, 2u << 20, 256, 0x1C, 45, 400, 5'000, 25'000, true},
};

// The part an identification names. An identification the table does not know gets the
// tool's fallbacks: the capacity its third byte names for the usual JEDEC codes (0x10, 64 KB,
// to 0x18, 16 MB), else the whole 24-bit address space; 32-byte pages for a C2 22 part, else
// 256; block-protect bits 2 to 4; no unique ID asked for; and erase budgets of 1000 polls, or 40 s per 2 MB of a size
// it can tell.
FlashPart PartFor(const std::array<std::uint8_t, 3>& chipId);

}  // namespace qv
