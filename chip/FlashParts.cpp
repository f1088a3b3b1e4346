#include "chip/FlashParts.h"

#include <algorithm>

namespace qv {
namespace {

constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 24;
constexpr std::uint8_t kSmallestCapacityCode = 0x10;
constexpr std::uint8_t kLargestCapacityCode = 0x18;
constexpr std::uint32_t kFallbackEraseMs = 10'000;         // 1000 polls, 10 ms apart
constexpr std::uint32_t kFallbackEraseMsPerTwoMb = 40'000;  // the slowest parts' maximum

}  // namespace

FlashPart PartFor(const std::array<std::uint8_t, 3>& chipId) {
    const auto known = std::find_if(kFlashParts.begin(), kFlashParts.end(),
                                    [&](const FlashPart& part) { return part.jedecId == chipId; });
    if (known != kFlashParts.end()) return *known;

    const std::uint8_t code = chipId[2];
    const bool sized = code >= kSmallestCapacityCode && code <= kLargestCapacityCode;
    const std::uint64_t capacity = sized ? std::uint64_t{1} << code : kAddressSpace;
    const std::uint32_t chipEraseMaxMs =
        sized ? static_cast<std::uint32_t>(std::max<std::uint64_t>(
                    kFallbackEraseMs, capacity * kFallbackEraseMsPerTwoMb / (2u << 20)))
              : kFallbackEraseMs;
    const bool smallPages = chipId[0] == 0xC2 && chipId[1] == 0x22;
    return {"unknown",
            chipId,
            static_cast<std::uint32_t>(capacity),
            static_cast<std::uint16_t>(smallPages ? 32 : 256),
            0x1C,
            50,
            kFallbackEraseMs,
            2'000,
            chipEraseMaxMs,
            false};
}

}  // namespace qv
