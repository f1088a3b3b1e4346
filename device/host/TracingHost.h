#pragma once

#include <functional>
#include <mutex>
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

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    HostHandle OpenPath(const std::string& path) override;
    bool LastOpenDenied() const override;
    void ClosePath(HostHandle handle) override;
    bool IoControl(HostHandle handle, std::uint32_t controlCode,
                   std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   std::uint32_t& bytesReturned) override;
    bool LastIoControlTimedOut() const override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMs() override;

private:
    DeviceHost& inner_;
    LineWriter writeLine_;
    std::mutex mutex_;  // devices driven from several threads share the numbering
    std::uint64_t seq_ = 0;
};

}  // namespace qv
