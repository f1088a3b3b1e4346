#include "cli/Session.h"

#include <cstdio>

#include "cli/CliErrors.h"
#include "cli/HexArguments.h"
#include "device/host/SystemHost.h"
#include "sim/FaultChoice.h"
#include "sim/FlashImageFile.h"
#include "sim/SimHost.h"

namespace qv::cli {

static std::string UserMatch(const GlobalOptions& options) {
    const auto vid = ParseHexArgument("--vid", options.vid, 0xFFFF);
    const auto pid = ParseHexArgument("--pid", options.pid, 0xFFFF);
    char vidText[8], pidText[8];
    std::snprintf(vidText, sizeof vidText, "%04x", vid);
    std::snprintf(pidText, sizeof pidText, "%04x", pid);
    return MakeDeviceMatch(vidText, pidText);
}

Session::Session(const GlobalOptions& options)
    : simFlashFile_(options.simFlashFile), userDeviceMatch_(UserMatch(options)) {
    if (!options.sim) {
        host_ = MakeSystemHost();
    } else {
        auto host = std::make_unique<sim::SimHost>(options.simRealTime ? sim::SimClock::Mode::Real
                                                                       : sim::SimClock::Mode::Virtual);
        if (!options.traceFile.empty() && !host->GetTrace().WriteTo(options.traceFile))
            throw BadInput("Cannot write " + options.traceFile);
        if (options.simDevices < 1 || (options.simDevices > 1 && !simFlashFile_.empty()))
            throw BadInput("--sim-flash keeps the flash of one simulated device only");
        simChip_ = host->AttachNew(sim::UserDeviceIdentity());
        for (unsigned i = 1; i < options.simDevices; ++i)
            host->AttachNew(sim::UserDeviceIdentity());
        if (!simFlashFile_.empty() && !sim::LoadFlashImage(simChip_->Flash(), simFlashFile_))
            throw BadInput(simFlashFile_ + " is not a flash image of this chip");
        for (const std::string& text : options.simFaults) {
            const auto fault = sim::ParseFaultChoice(text);
            if (!fault)
                throw BadInput("'" + text + "' is not a fault of the simulator; kinds: " +
                               sim::FaultKindList() + " (KIND or KIND@N)");
            sim::ArmFault(*host, *simChip_, *fault);
        }
        host_ = std::move(host);
    }
    device_ = std::make_unique<QuorvexUsb>(*host_);
}

void Session::Finish() {
    if (simChip_ && !simFlashFile_.empty() &&
        !sim::SaveFlashImage(simChip_->Flash(), simFlashFile_))
        throw OperationFailed("Cannot write " + simFlashFile_);
}

void WithSession(const GlobalOptions& options, const std::function<void(Session&)>& command) {
    Session session(options);
    try {
        command(session);
    } catch (...) {
        try {
            session.Finish();
        } catch (const OperationFailed&) {
            // The command's own failure is the one to report.
        }
        throw;
    }
    session.Finish();
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
