#include "sim/DemoFirmware.h"

#include <algorithm>

namespace qv::sim {

namespace {
constexpr std::size_t kDemoFirmwareSize = 6 * 1024;
}  // namespace

std::vector<std::uint8_t> DemoFlashImage(std::size_t flashSize) {
    std::vector<std::uint8_t> image(flashSize, 0xFF);
    // xorshift32 from a fixed seed: deterministic bytes that look like code.
    std::uint32_t state = 0x51A7F00Du;
    const std::size_t end = std::min(kDemoFirmwareSize, flashSize);
    for (std::size_t i = 0; i < end; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return image;
}

}  // namespace qv::sim
