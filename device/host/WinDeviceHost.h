#pragma once

#include "device/host/DeviceHost.h"
#include "device/host/WinApi.h"

namespace qv {

// Windows itself: the Setup API lists the device interfaces, CreateFileA opens one, and
// DeviceIoControl hands each record to the chip vendor's USB driver or the chip's audio driver.
// While it lives it asks for 1 ms timer resolution, so 1 ms waits are 1 ms and not 15.6 ms.
// Those calls go through a WinApi table: the real functions unless a test hands in its own.
class WinDeviceHost : public DeviceHost {
public:
    explicit WinDeviceHost(const WinApi& api = {});
    ~WinDeviceHost() override;
    WinDeviceHost(const WinDeviceHost&) = delete;
    WinDeviceHost& operator=(const WinDeviceHost&) = delete;

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    HostHandle OpenPath(const std::string& path) override;
    void ClosePath(HostHandle handle) override;
    bool IoControl(HostHandle handle, std::uint32_t controlCode,
                   std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   std::uint32_t& bytesReturned) override;
    IoFailure LastIoControlFailure() const override;
    bool LastOpenDenied() const override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMs() override;

private:
    const WinApi api_;
};

}  // namespace qv
