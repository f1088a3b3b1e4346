#include "sim/DemoFirmware.h"

#include <algorithm>

namespace qv::sim {

namespace {
constexpr std::size_t kDemoFirmwareSize = 6 * 1024;
}  // namespace

const std::vector<std::uint8_t>& DemoFirmware() {
    static const std::vector<std::uint8_t> firmware = [] {
        std::vector<std::uint8_t> bytes(kDemoFirmwareSize);
        // xorshift32 from a fixed seed: deterministic bytes that look like code.
        std::uint32_t state = 0x51A7F00Du;
        for (std::uint8_t& byte : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<std::uint8_t>(state >> 24);
        }
        return bytes;
    }();
    return firmware;
}

std::vector<std::uint8_t> DemoFlashImage(std::size_t flashSize) {
    std::vector<std::uint8_t> image(flashSize, 0xFF);
    const auto& firmware = DemoFirmware();
    std::copy_n(firmware.begin(), std::min(firmware.size(), flashSize), image.begin());
    return image;
}

}  // namespace qv::sim
