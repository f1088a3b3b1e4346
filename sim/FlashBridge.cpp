#include "sim/FlashBridge.h"

#include <algorithm>

namespace qv::sim {

namespace {
// The access codes (value, index) the firmware compares before switching ISP mode.
constexpr std::uint16_t kEnterValue = 0x4B6E;
constexpr std::uint16_t kEnterIndex = 0x1F09;
constexpr std::uint16_t kLeaveValue = 0x2D7C;
constexpr std::uint16_t kLeaveIndex = 0x3E92;

constexpr std::uint32_t kMaxSendBytes = 256;
constexpr std::uint16_t kMaxResponse = 255;
constexpr std::uint8_t kIdleMosi = 0xFF;  // what the SPI master sends while collecting

bool IsOut(const ControlSetup& setup, std::span<const std::uint8_t> outData) {
    return !setup.IsDeviceToHost() && outData.size() == setup.length;
}
}  // namespace

FlashBridge::FlashBridge(SimClock& clock, SimFlash& flash, const SimFaults& faults,
                         bool needsIspMode)
    : clock_(clock), flash_(flash), faults_(faults), needsIspMode_(needsIspMode) {}

TransferResult FlashBridge::Control(const ControlSetup& setup,
                                    std::span<const std::uint8_t> outData) {
    if (setup.request == kEnterIsp) return SwitchIspMode(setup, true);
    if (setup.request == kLeaveIsp) return SwitchIspMode(setup, false);
    if (needsIspMode_ && !ispMode_) return {};
    switch (setup.request) {
        case kSendBytes:
            return SendBytes(setup, outData);
        case kStartRead:
            return StartRead(setup, outData);
        case kFetchResponse:
            return FetchResponse(setup);
        case kReadyPoll:
            return ReadyPoll(setup);
        default:
            return {};
    }
}

TransferResult FlashBridge::SwitchIspMode(const ControlSetup& setup, bool enter) {
    const std::uint16_t value = enter ? kEnterValue : kLeaveValue;
    const std::uint16_t index = enter ? kEnterIndex : kLeaveIndex;
    if (setup.IsDeviceToHost() || setup.length != 0 || setup.value != value || setup.index != index)
        return {};
    if (!enter) {
        EndOpenInstruction();
        finished_ = false;
        response_.clear();
    }
    ispMode_ = enter;
    return {true, {}};
}

TransferResult FlashBridge::SendBytes(const ControlSetup& setup,
                                      std::span<const std::uint8_t> outData) {
    if (!IsOut(setup, outData) || setup.value != 0 || setup.index > 1 || setup.length == 0 ||
        setup.length > kMaxSendBytes)
        return {};
    if (!instructionOpen_) flash_.Select();
    for (const std::uint8_t byte : outData) flash_.Exchange(byte);
    instructionOpen_ = setup.index == 0;
    if (!instructionOpen_) flash_.Deselect();
    Clock(outData.size());
    Finished();
    return {true, {}};
}

TransferResult FlashBridge::StartRead(const ControlSetup& setup,
                                      std::span<const std::uint8_t> outData) {
    if (!IsOut(setup, outData) || setup.value == 0 || setup.value > kMaxResponse ||
        setup.index != 1 || (setup.length != 1 && setup.length != 4))
        return {};
    EndOpenInstruction();
    flash_.Select();
    for (const std::uint8_t byte : outData) flash_.Exchange(byte);
    response_.clear();
    for (std::uint16_t i = 0; i < setup.value; ++i) response_.push_back(flash_.Exchange(kIdleMosi));
    flash_.Deselect();
    Clock(outData.size() + setup.value);
    Finished();
    return {true, {}};
}

TransferResult FlashBridge::FetchResponse(const ControlSetup& setup) {
    if (!setup.IsDeviceToHost() || setup.value != 0 || setup.index != 0 || setup.length == 0 ||
        setup.length > response_.size())
        return {};
    TransferResult result{true, {response_.begin(), response_.begin() + setup.length}};
    if (faults_.corruptedFetches.contains(++fetches_) || faults_.flipEveryFetch)
        result.data[0] ^= 0x01;
    if (faults_.shortFetches) result.data.resize(setup.length / 2);
    if (faults_.fetchLimit != 0 && result.data.size() > faults_.fetchLimit)
        result.data.resize(faults_.fetchLimit);
    return result;
}

TransferResult FlashBridge::ReadyPoll(const ControlSetup& setup) {
    if (!setup.IsDeviceToHost() || setup.value != 0 || setup.index != 0 || setup.length != 1)
        return {};
    ++readyPolls_;
    const bool ready = finished_ && clock_.NowNs() >= spiDoneNs_ && !faults_.flashNeverReady &&
                       readyPolls_ > faults_.flashReadyAfterPolls;
    return {true, {static_cast<std::uint8_t>(ready)}};
}

// A request that starts a new instruction first raises chip select on one left open.
void FlashBridge::EndOpenInstruction() {
    if (!instructionOpen_) return;
    flash_.Deselect();
    instructionOpen_ = false;
}

// The flash acts on the bytes as they arrive; only the answer to the ready poll waits for
// the clocking to end.
void FlashBridge::Clock(std::size_t bytes) {
    const std::uint64_t start = std::max(clock_.NowNs(), spiDoneNs_);
    spiDoneNs_ = start + bytes * 8 * 1'000'000'000 / kSpiClockHz;
}

void FlashBridge::Finished() {
    finished_ = true;
    readyPolls_ = 0;
}

}  // namespace qv::sim
