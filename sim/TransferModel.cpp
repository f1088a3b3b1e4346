#include "sim/TransferModel.h"

#include <algorithm>
#include <cmath>

namespace qv::sim {

std::uint64_t TransactionNs(UsbSpeed speed, std::uint32_t bytes) {
    const double bitStuffTime = 7.0 * 8.0 * bytes / 6.0;
    const double bits = std::floor(3.167 + bitStuffTime);
    const double ns = speed == UsbSpeed::Full ? 9107.0 + 83.54 * bits
                                              : 55.0 * 8.0 * 2.083 + 2.083 * bits;
    return static_cast<std::uint64_t>(std::llround(ns));
}

std::uint64_t ControlTransferBusNs(const TransferModel& model, std::uint32_t dataBytes) {
    constexpr std::uint32_t kSetupBytes = 8;
    std::uint64_t ns = TransactionNs(model.speed, kSetupBytes);
    for (std::uint32_t left = dataBytes; left > 0;) {
        const std::uint32_t piece = std::min(left, model.maxPacketBytes);
        ns += TransactionNs(model.speed, piece);
        left -= piece;
    }
    return ns + TransactionNs(model.speed, 0);
}

std::uint64_t TransferCostNs(const TransferModel& model, std::uint32_t dataBytes,
                             unsigned boardsOnBus) {
    const std::uint64_t bus = ControlTransferBusNs(model, dataBytes);
    const std::uint64_t alone = model.turnaroundUs * 1000 + bus;
    return std::max(alone, std::max(boardsOnBus, 1u) * bus);
}

}  // namespace qv::sim
