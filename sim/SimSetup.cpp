#include "sim/SimSetup.h"

#include <filesystem>

#include "common/OutputFile.h"
#include "sim/FlashImageFile.h"

namespace qv::sim {

std::optional<SimClock::Mode> ParseSimSpeed(std::string_view text) {
    if (text == "virtual") return SimClock::Mode::Virtual;
    if (text == "real") return SimClock::Mode::Real;
    return std::nullopt;
}

std::string FaultChoiceProblem(const std::string& text) {
    return "'" + text + "' is not a fault of the simulator; kinds: " + FaultKindList() +
           " (KIND or KIND@N)";
}

std::optional<SimSetup> MakeSimSetup(const SimOptions& options, const std::string& program,
                                     std::string& problem) {
    if (options.devices < 1 || (options.devices > 1 && !options.flashFile.empty())) {
        problem = "--sim-flash keeps the flash of one simulated device only";
        return std::nullopt;
    }
    std::vector<FaultChoice> faults;
    for (const std::string& text : options.faults) {
        const auto fault = ParseFaultChoice(text);
        if (!fault) {
            problem = FaultChoiceProblem(text);
            return std::nullopt;
        }
        faults.push_back(*fault);
    }
    if (!options.flashFile.empty()) {
        std::error_code error;
        if (!std::filesystem::exists(options.flashFile, error))
            if (const auto cannot = OutputProblem(options.flashFile)) {
                problem = "Cannot write " + options.flashFile + ": " + *cannot;
                return std::nullopt;
            }
    }
    SimSetup setup{std::make_unique<SimHost>(options.speed), nullptr, std::move(faults)};
    setup.host->SetBoardSeries(options.boardSeries);
    setup.firstDevice = setup.host->AttachNew(UserDeviceIdentity());
    for (unsigned i = 1; i < options.devices; ++i) setup.host->AttachNew(UserDeviceIdentity());
    if (!options.flashFile.empty() &&
        !LoadFlashImage(setup.firstDevice->Flash(), options.flashFile)) {
        problem = options.flashFile + " is not a flash image of this chip";
        return std::nullopt;
    }
    if (!options.traceFile.empty() && !setup.host->GetTrace().WriteTo(options.traceFile, program)) {
        problem = "Cannot write " + options.traceFile + ": " + setup.host->GetTrace().Problem();
        return std::nullopt;
    }
    if (options.prepare) options.prepare(*setup.host, *setup.firstDevice);
    for (const FaultChoice& fault : setup.faults) ArmFault(*setup.host, *setup.firstDevice, fault);
    return setup;
}

std::optional<std::string> KeepSimFlash(SimChip& device, const std::string& flashFile) {
    if (flashFile.empty() || SaveFlashImage(device.Flash(), flashFile)) return std::nullopt;
    return "Cannot write " + flashFile;
}

}  // namespace qv::sim
