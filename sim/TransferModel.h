#pragma once

#include <cstdint>

namespace qv::sim {

// What one control transfer costs on the simulated bus, from the USB 2.0 figures.
//
// A transfer is the host's turnaround (the host controller schedules a control transfer once
// per (micro)frame when the driver sends them one at a time, as the tool does) plus the bus
// time of its packets: the setup transaction (8 bytes), the data stage in max-packet-size
// transactions (64 bytes on endpoint 0) and the zero-length status transaction. Boards on one
// host controller share its bus: their packets go one after the other while their
// turnarounds overlap, so each of k boards busy on the bus gets a transfer done every
// max(turnaround + packets, k x packets).
enum class UsbSpeed { Full, High };

struct TransferModel {
    UsbSpeed speed = UsbSpeed::High;
    // A high-speed microframe; a full-speed frame is 1 ms (FullSpeedModel).
    std::uint64_t turnaroundUs = 125;
    // Endpoint 0's wMaxPacketSize: 64 is the most a full-speed control endpoint allows and
    // what the chip's device descriptor says.
    std::uint32_t maxPacketBytes = 64;
};

inline constexpr TransferModel kHighSpeedModel{UsbSpeed::High, 125, 64};
inline constexpr TransferModel kFullSpeedModel{UsbSpeed::Full, 1000, 64};

// Bus time of one non-isochronous transaction carrying `bytes` of data, handshake included,
// in nanoseconds: the bus-timing formulas of USB 2.0, section 5.11.3, with the worst-case bit
// stuffing (7/6) and no host delay (the turnaround stands for it).
//   full speed: 9107 + 83.54 x floor(3.167 + BitStuffTime(bytes))
//   high speed: 55 x 8 x 2.083 + 2.083 x floor(3.167 + BitStuffTime(bytes))
//   BitStuffTime(bytes) = 7 x 8 x bytes / 6
std::uint64_t TransactionNs(UsbSpeed speed, std::uint32_t bytes);

// Bus time of a control transfer with a data stage of `dataBytes`, in nanoseconds: setup,
// data in max-packet pieces, status.
std::uint64_t ControlTransferBusNs(const TransferModel& model, std::uint32_t dataBytes);

// The time a board waits for one transfer while `boardsOnBus` boards (itself included) keep
// the same controller busy, in nanoseconds.
std::uint64_t TransferCostNs(const TransferModel& model, std::uint32_t dataBytes,
                             unsigned boardsOnBus);

}  // namespace qv::sim
