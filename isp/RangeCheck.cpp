#include "isp/RangeCheck.h"

#include <algorithm>

namespace qv {
namespace {

constexpr std::uint8_t kSmallestCapacityCode = 0x10;
constexpr std::uint8_t kLargestCapacityCode = 0x18;

}  // namespace

std::uint64_t FlashCapacity(const std::array<std::uint8_t, 3>& chipId) {
    const std::uint8_t code = chipId[2];
    if (code < kSmallestCapacityCode || code > kLargestCapacityCode) return kAddressSpaceSize;
    return std::uint64_t{1} << code;
}

int ChipErasePolls(const std::array<std::uint8_t, 3>& chipId) {
    constexpr std::uint64_t kPollsPerTwoMegabytes = 4000;  // 40 s at 10 ms
    const std::uint64_t capacity = FlashCapacity(chipId);
    if (capacity == kAddressSpaceSize) return 1000;  // a size the tool cannot tell
    return static_cast<int>(
        std::max<std::uint64_t>(1000, capacity * kPollsPerTwoMegabytes / (2u << 20)));
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
    if (walks) {
        const std::uint64_t start = wholeFlash ? 0 : program.RangeStart;
        if (auto refusal = FlashSizeRefusal(start, program.ProgramImage.LoadedLength, chipId))
            return refusal;
    }
    if (sectorErase) return FlashSizeRefusal(program.RangeStart, program.RangeSize, chipId);
    return std::nullopt;
}

}  // namespace qv
