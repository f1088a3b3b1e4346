#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "device/host/DeviceHost.h"

namespace qv {

// A host that passes everything to another host and writes one trace line (TraceFormat) for
// every transfer that crosses it, decoded by the drivers' rules, with what the other host
// really returned: data, failure, a short answer. Works over any host, real or simulated.
class TracingHost : public DeviceHost {
public:
    using LineWriter = std::function<void(const std::string& line)>;

    TracingHost(DeviceHost& inner, LineWriter writeLine);

    // Also writes "# device: PATH" (TraceFormat) when a device interface is first opened, so a
    // trace file names the device its transfers went to. Off for a stream of transfers only.
    void NameDevices(bool on) { nameDevices_ = on; }
    // While this says no, nothing is formatted, written or counted (a trace that is off).
    void WriteOnlyWhile(std::function<bool()> active) { active_ = std::move(active); }

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    HostHandle OpenPath(const std::string& path) override;
    bool LastOpenDenied() const override;
    void ClosePath(HostHandle handle) override;
    bool IoControl(HostHandle handle, std::uint32_t controlCode,
                   std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   std::uint32_t& bytesReturned) override;
    IoFailure LastIoControlFailure() const override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMs() override;
    std::uint64_t StartingPoint() override { return inner_.StartingPoint(); }
    void ContinueFrom(std::uint64_t startingPoint) override { inner_.ContinueFrom(startingPoint); }
    bool ThreadsKeepOwnTime() const override { return inner_.ThreadsKeepOwnTime(); }

private:
    DeviceHost& inner_;
    LineWriter writeLine_;
    bool nameDevices_ = false;
    std::function<bool()> active_;
    std::set<std::string> namedPaths_;
    std::mutex mutex_;  // devices driven from several threads share the numbering
    std::uint64_t seq_ = 0;
};

}  // namespace qv
