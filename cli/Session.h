#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/DeviceMatch.h"
#include "device/QuorvexUsb.h"
#include "device/host/DeviceHost.h"

namespace qv::sim {
class SimHost;
}

namespace qv::cli {

struct GlobalOptions {
    bool sim = false;
    std::string traceFile;
    std::string vid = "6b94";
    std::string pid = "F82D";
};

// One qvusb run: the host (simulated or real USB), the device object and how to find the chip.
class Session {
public:
    explicit Session(const GlobalOptions& options);
    ~Session();

    QuorvexUsb& Device() { return *device_; }
    DeviceHost& Host() { return *host_; }
    const std::string& UserDeviceMatch() const { return userDeviceMatch_; }

    // Searches as the window's presence monitor does; throws NoDevice when nothing is there.
    FoundDevice RequireDevice();

private:
    std::unique_ptr<DeviceHost> host_;
    std::unique_ptr<QuorvexUsb> device_;
    std::string userDeviceMatch_;
};

// Holds the device open for one action, as every page action of the window does.
class OpenedDevice {
public:
    explicit OpenedDevice(QuorvexUsb& device) : device_(device) { device_.Open(); }
    ~OpenedDevice() { device_.Close(); }
    OpenedDevice(const OpenedDevice&) = delete;
    OpenedDevice& operator=(const OpenedDevice&) = delete;

private:
    QuorvexUsb& device_;
};

// "Device F82D", "Firmware update device 6B94", ... for messages.
std::string DescribeFound(FoundDevice found, const std::string& pidText);

}  // namespace qv::cli
