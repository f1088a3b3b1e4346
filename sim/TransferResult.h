#pragma once

#include <cstdint>
#include <vector>

namespace qv::sim {

// The device's answer to one control transfer: ok = false is a stall, or with noAnswer, a
// transfer the device never answered (the host gives up after its timeout).
struct TransferResult {
    bool ok = false;
    std::vector<std::uint8_t> data;  // the device's bytes of a device-to-host transfer
    bool noAnswer = false;
};

}  // namespace qv::sim
