#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceMatch.h"
#include "device/OpenedDevice.h"
#include "device/QuorvexUsb.h"
#include "device/host/DeviceHost.h"

namespace qv::sim {
class SimChip;
}

namespace qv::cli {

struct GlobalOptions {
    bool sim = false;
    unsigned simDevices = 1;  // simulated user's devices on the bus
    std::string simFlashFile;
    std::vector<std::string> simFaults;  // KIND[@N], armed on the first simulated device
    bool simRealTime = false;            // pace the simulated chip in real time
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
    // Keeps the simulated flash in its file, when one was named; throws OperationFailed when
    // the file cannot be written.
    void Finish();

private:
    std::shared_ptr<sim::SimChip> simChip_;
    std::string simFlashFile_;
    std::unique_ptr<DeviceHost> host_;
    std::unique_ptr<QuorvexUsb> device_;
    std::string userDeviceMatch_;
};

// Runs one command on a new session and finishes the session, also when the command failed
// (what a failed command did to the simulated flash is kept too).
void WithSession(const GlobalOptions& options, const std::function<void(Session&)>& command);

// "Device F82D", "Firmware update device 6B94", ... for messages.
std::string DescribeFound(FoundDevice found, const std::string& pidText);

}  // namespace qv::cli
