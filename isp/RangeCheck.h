#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "image/ProgramFile.h"

namespace qv {

// Flash addresses travel in three bytes: nothing beyond 16 MB can be reached.
inline constexpr std::uint64_t kAddressSpaceSize = std::uint64_t{1} << 24;

// The capacity of the part an identification names (the parts table, or its fallbacks).
std::uint64_t FlashCapacity(const std::array<std::uint8_t, 3>& chipId);

// Status polls, 10 ms apart, a chip erase may take: the part's datasheet maximum, never fewer
// than 1000.
int ChipErasePolls(const std::array<std::uint8_t, 3>& chipId);

// Why [start, start + length) cannot be used, computed without wrap-around: beyond the address
// space ("Range beyond the 24-bit address space"), or beyond the identified flash ("Range
// beyond the flash (1024 KB)"). Nothing when the range fits.
[[nodiscard]] std::optional<std::string> AddressSpaceRefusal(std::uint64_t start, std::uint64_t length);
[[nodiscard]] std::optional<std::string> FlashSizeRefusal(std::uint64_t start, std::uint64_t length,
                                            const std::array<std::uint8_t, 3>& chipId);

// The ranges a flash job touches, checked against the identified flash (or, with no
// identification, the address space): the image's range for blank check, program and verify
// (from 0 with the whole flash, else from RangeStart, over LoadedLength) and, for a sector
// erase, RangeStart over RangeSize. An assigned range that is empty, or shorter than the image
// the walks cover, is refused too.
[[nodiscard]] std::optional<std::string> JobRangeRefusal(const ProgramFile& program, bool wholeFlash,
                                           bool walks, bool sectorErase,
                                           const std::array<std::uint8_t, 3>& chipId = {});

}  // namespace qv
