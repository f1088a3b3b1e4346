#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::sim {

// The flash content the simulated user's device ships with: a small demo firmware (a few KB of
// fixed pseudo-random bytes, the same on every run) at address 0, the rest erased (0xFF).
std::vector<std::uint8_t> DemoFlashImage(std::size_t flashSize);

}  // namespace qv::sim
