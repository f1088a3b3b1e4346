#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::sim {

// The small demo firmware the simulated user's device ships with at flash address 0: a few KB
// of fixed pseudo-random bytes, the same on every run.
const std::vector<std::uint8_t>& DemoFirmware();
// The whole flash content it ships with: the demo firmware, the rest erased (0xFF).
std::vector<std::uint8_t> DemoFlashImage(std::size_t flashSize);

}  // namespace qv::sim
