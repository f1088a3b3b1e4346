#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "device/host/DeviceHost.h"
#include "device/host/DriverCall.h"

namespace qv::fuzz {

// A stand-in operating system whose every answer comes from the fuzz input: which interfaces
// are listed, whether a path opens, whether an I/O control succeeds and the bytes a device
// returns. When the input runs out it starts again from its beginning, so the device answers
// for ever and a loop that never ends shows as a spent budget, not as input that ran out.
//
// It checks what the layers above must get right whatever the device answers: each I/O control
// is one the drivers accept, on a handle that is open; a handle is closed once; and no
// operation takes more I/O controls or more waiting than its budget.
class FuzzedHost : public DeviceHost {
public:
    // The longest operation the fuzzer drives is a blank check or verify of at most
    // kMaxJobLength bytes: 64-byte blocks, each read at most three times, each read one request,
    // at most 100 ready polls 1 ms apart and one fetch. That is at most 64 * 3 * 102 = 19,584
    // I/O controls and 19.2 s of waiting; an I2C read of 255 bytes takes about 6,400 I/O
    // controls. The budgets leave a wide margin above both, and anything past them is a loop
    // that did not keep to its poll bounds.
    static constexpr std::uint32_t kMaxJobLength = 4096;
    static constexpr std::uint64_t kIoControlBudget = 100'000;
    static constexpr std::uint64_t kWaitBudgetMs = 100'000;

    FuzzedHost(const std::uint8_t* data, std::size_t size);

    // The fuzz input, begun anew whenever it has run out.
    FuzzedDataProvider& Input();
    // Fills `bytes` from the input, going round it as often as needed.
    void Fill(std::span<std::uint8_t> bytes);

    // Starts counting the work of one operation, named in the report when it overruns.
    void BeginOperation(const char* name);
    // The last control transfer the current operation made, if any.
    const std::optional<ControlSetup>& LastSetup() const { return lastSetup_; }
    const std::vector<std::uint8_t>& LastOutData() const { return lastOutData_; }
    std::size_t OpenHandles() const { return open_.size(); }

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    HostHandle OpenPath(const std::string& path) override;
    void ClosePath(HostHandle handle) override;
    bool IoControl(HostHandle handle, std::uint32_t controlCode,
                   std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   std::uint32_t& bytesReturned) override;
    // A failed transfer is a refusal: the device never leaves the fuzzed bus.
    IoFailure LastIoControlFailure() const override { return IoFailure::Refused; }
    bool LastOpenDenied() const override { return false; }
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMs() override { return nowMs_; }

private:
    std::string InterfacePathFor(const Guid& interfaceClass);
    void CountWork(std::uint64_t ioControls, std::uint64_t waitMs);

    const std::uint8_t* data_;
    std::size_t size_;
    std::optional<FuzzedDataProvider> input_;
    std::set<HostHandle> open_;
    HostHandle nextHandle_ = 1;
    std::uint64_t nowMs_ = 0;
    const char* operation_ = "start";
    std::uint64_t operationIoControls_ = 0;
    std::uint64_t operationWaitMs_ = 0;
    std::optional<ControlSetup> lastSetup_;
    std::vector<std::uint8_t> lastOutData_;
};

}  // namespace qv::fuzz
