#include "isp/RangeCheck.h"

#include <algorithm>

#include "chip/FlashParts.h"

namespace qv {

std::uint64_t FlashCapacity(const std::array<std::uint8_t, 3>& chipId) {
    return PartFor(chipId).capacity;
}

// 10 ms apart, with a fifth to spare for the transfers between the pauses.
int ChipErasePolls(const std::array<std::uint8_t, 3>& chipId) {
    constexpr std::uint32_t kLeastPolls = 1000;
    return static_cast<int>(std::max(kLeastPolls, PartFor(chipId).chipEraseMaxMs * 12 / 100));
}

std::optional<std::string> AddressSpaceRefusal(std::uint64_t start, std::uint64_t length) {
    if (start + length <= kAddressSpaceSize) return std::nullopt;
    return "Range beyond the 24-bit address space";
}

std::optional<std::string> FlashSizeRefusal(std::uint64_t start, std::uint64_t length,
                                            const std::array<std::uint8_t, 3>& chipId) {
    const std::uint64_t capacity = FlashCapacity(chipId);
    if (capacity == kAddressSpaceSize) return AddressSpaceRefusal(start, length);
    if (start + length <= capacity) return std::nullopt;
    return "Range beyond the flash (" + std::to_string(capacity / 1024) + " KB)";
}

std::optional<std::string> JobRangeRefusal(const ProgramFile& program, bool wholeFlash,
                                           bool walks, bool sectorErase,
                                           const std::array<std::uint8_t, 3>& chipId) {
    if (!wholeFlash && (walks || sectorErase) && program.RangeSize == 0)
        return "The assigned range is empty (0 KB)";
    if (walks) {
        const std::uint64_t start = wholeFlash ? 0 : program.RangeStart;
        if (auto refusal = FlashSizeRefusal(start, program.ProgramImage.LoadedLength, chipId))
            return refusal;
    }
    if (sectorErase)
        if (auto refusal = FlashSizeRefusal(program.RangeStart, program.RangeSize, chipId))
            return refusal;
    // The walks cover the image from the range's start: an image longer than the range would
    // be written past it, where the range's erase never reached.
    if (!wholeFlash && walks && program.ProgramImage.LoadedLength > program.RangeSize)
        return "The image (" + std::to_string(program.ProgramImage.LoadedLength) +
               " bytes) runs past the assigned range (" + std::to_string(program.RangeSize) +
               " bytes)";
    return std::nullopt;
}

}  // namespace qv
