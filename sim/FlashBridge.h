#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/host/DriverCall.h"
#include "sim/SimFaults.h"
#include "sim/SimFlash.h"
#include "sim/TransferResult.h"

namespace qv::sim {

// The chip firmware's side of the flash requests: 0x84 and 0x85 switch ISP mode when their
// access codes match; 0x80 and 0x81 clock bytes through the chip's SPI master to the flash
// (0x80 with index 0 keeps chip select low so the next 0x80 continues the instruction; 0x81
// then clocks in the response); 0x83 reports whether the SPI master has finished; 0x82 returns
// the collected response. Whatever the chip would refuse stalls.
class FlashBridge {
public:
    static constexpr std::uint8_t kSendBytes = 0x80;
    static constexpr std::uint8_t kStartRead = 0x81;
    static constexpr std::uint8_t kFetchResponse = 0x82;
    static constexpr std::uint8_t kReadyPoll = 0x83;
    static constexpr std::uint8_t kEnterIsp = 0x84;
    static constexpr std::uint8_t kLeaveIsp = 0x85;

    static bool Handles(std::uint8_t request) {
        return request >= kSendBytes && request <= kLeaveIsp;
    }

    // The chip's SPI master clock. The chip's documents do not give it; 12 MHz is taken as a
    // bridge's usual SPI master clock, well below the 50 MHz the W25Q80's datasheet allows
    // for its 0x03 read. Clocking out a 255-byte response with its read instruction takes
    // (4 + 255) x 8 / 12 MHz = 173 us, longer than a high-speed microframe.
    static constexpr std::uint64_t kSpiClockHz = 12'000'000;

    // needsIspMode: the flash requests stall outside ISP mode (the user's firmware does so;
    // the firmware-update loader admits them at any time).
    FlashBridge(SimClock& clock, SimFlash& flash, const SimFaults& faults, bool needsIspMode);

    TransferResult Control(const ControlSetup& setup, std::span<const std::uint8_t> outData);
    bool InIspMode() const { return ispMode_; }

private:
    TransferResult SwitchIspMode(const ControlSetup& setup, bool enter);
    TransferResult SendBytes(const ControlSetup& setup, std::span<const std::uint8_t> outData);
    TransferResult StartRead(const ControlSetup& setup, std::span<const std::uint8_t> outData);
    TransferResult FetchResponse(const ControlSetup& setup);
    TransferResult ReadyPoll(const ControlSetup& setup);
    void EndOpenInstruction();
    void Finished();
    // The SPI master clocks `bytes` out after what it is still clocking.
    void Clock(std::size_t bytes);

    SimClock& clock_;
    SimFlash& flash_;
    const SimFaults& faults_;
    bool needsIspMode_;
    bool ispMode_ = false;
    bool instructionOpen_ = false;
    bool finished_ = false;  // the SPI master has completed the last 0x80 or 0x81
    unsigned readyPolls_ = 0;
    unsigned fetches_ = 0;  // 0x82 answers so far
    std::uint64_t spiDoneNs_ = 0;  // when the SPI master has clocked out its last request
    std::vector<std::uint8_t> response_;
};

}  // namespace qv::sim
