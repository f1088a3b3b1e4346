#include "cli/Session.h"

#include <cstdio>

#include "cli/CliErrors.h"
#include "cli/HexArguments.h"
#include "device/host/UsbDeviceHost.h"
#include "sim/SimHost.h"

namespace qv::cli {

static std::unique_ptr<DeviceHost> MakeHost(const GlobalOptions& options) {
    if (!options.sim) return std::make_unique<UsbDeviceHost>();
    auto host = std::make_unique<sim::SimHost>();
    if (!options.traceFile.empty() && !host->GetTrace().WriteTo(options.traceFile))
        throw BadInput("Cannot write " + options.traceFile);
    host->AttachNew(sim::UserDeviceIdentity());
    return host;
}

static std::string UserMatch(const GlobalOptions& options) {
    const auto vid = ParseHexArgument("--vid", options.vid, 0xFFFF);
    const auto pid = ParseHexArgument("--pid", options.pid, 0xFFFF);
    char vidText[8], pidText[8];
    std::snprintf(vidText, sizeof vidText, "%04x", vid);
    std::snprintf(pidText, sizeof pidText, "%04x", pid);
    return MakeDeviceMatch(vidText, pidText);
}

Session::Session(const GlobalOptions& options)
    : userDeviceMatch_(UserMatch(options)) {
    host_ = MakeHost(options);
    device_ = std::make_unique<QuorvexUsb>(*host_);
}

Session::~Session() = default;

FoundDevice Session::RequireDevice() {
    const FoundDevice found = LocateDevice(*device_, userDeviceMatch_);
    if (found == FoundDevice::None) throw NoDevice();
    return found;
}

std::string DescribeFound(FoundDevice found, const std::string& pidText) {
    switch (found) {
        case FoundDevice::UserDevice:
            return "Device " + pidText;
        case FoundDevice::FirmwareUpdate6b94:
            return "Firmware update device 6B94";
        case FoundDevice::FirmwareUpdate4d17:
            return "Firmware update device 4D17";
        case FoundDevice::None:
            break;
    }
    return "No device";
}

}  // namespace qv::cli
