#include "cli/Session.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "cli/AccessHint.h"
#include "cli/CliErrors.h"
#include "cli/HexArguments.h"
#include "cli/JobOutcome.h"
#include "cli/Reporting.h"
#include "cli/StopSignal.h"
#include "common/OutputFile.h"
#include "device/host/InterfacePath.h"
#include "device/host/ReplayHost.h"
#include "device/host/SystemHost.h"
#include "device/host/TraceFormat.h"
#include "device/host/TracingHost.h"
#include "isp/GangFlash.h"
#include "sim/FaultChoice.h"
#include "sim/SimHost.h"
#include "sim/SimSetup.h"
#include "sim/Trace.h"

namespace qv::cli {

std::string UserDeviceMatchOf(const GlobalOptions& options) {
    const auto vid = ParseHexArgument("--vid", options.vid, 0xFFFF);
    const auto pid = ParseHexArgument("--pid", options.pid, 0xFFFF);
    char vidText[8], pidText[8];
    std::snprintf(vidText, sizeof vidText, "%04x", vid);
    std::snprintf(pidText, sizeof pidText, "%04x", pid);
    return MakeDeviceMatch(vidText, pidText);
}

// The host that answers from a recorded trace; BadInput when the file is no trace of a device.
static std::unique_ptr<ReplayHost> MakeReplayHost(const std::string& fileName) {
    std::string error;
    auto trace = ReadTraceFile(fileName, error);
    if (!trace) throw BadInput(error);
    if (ReplayHost::DevicePathOf(*trace).empty())
        throw BadInput(fileName + ": the trace names no device (no '# device:' line)");
    return std::make_unique<ReplayHost>(std::move(*trace));
}

Session::Session(const GlobalOptions& options)
    : simFlashFile_(options.simulator.flashFile),
      traceFileName_(options.traceFile),
      selector_(options.device),
      waitSeconds_(options.waitSeconds),
      userDeviceMatch_(UserDeviceMatchOf(options)) {
    if (!options.sim) {
        std::string hostKind = SystemHostKind();
        if (!options.replayFile.empty()) {
            hosts_.push_back(MakeReplayHost(options.replayFile));
            replay_ = static_cast<ReplayHost*>(hosts_.back().get());
            hostKind = "replay";
        } else {
            hosts_.push_back(MakeSystemHost());
        }
        if (!options.traceFile.empty()) {
            traceFile_ = std::make_unique<sim::Trace>();
            if (!traceFile_->WriteTo(options.traceFile, "qvusb", hostKind))
                throw BadInput("Cannot write " + options.traceFile + ": " + traceFile_->Problem());
            auto tracing = std::make_unique<TracingHost>(
                *hosts_.back(),
                [trace = traceFile_.get()](const std::string& line) { trace->Write(line); });
            tracing->NameDevices(true);
            hosts_.push_back(std::move(tracing));
        }
    } else {
        sim::SimOptions simulator = options.simulator;
        simulator.traceFile = options.traceFile;
        std::string problem;
        auto setup = sim::MakeSimSetup(simulator, "qvusb", problem);
        if (!setup) throw BadInput(problem);
        simChip_ = setup->firstDevice;
        simTrace_ = &setup->host->GetTrace();
        // The faults break the first port's boards, each new one anew.
        if (options.simReplug > 0)
            setup->host->ReplugBoards(
                options.simReplug,
                [&simHost = *setup->host, faults = setup->faults, firstPort = std::string("1-1")](
                    sim::SimChip& chip, const std::string& location) {
                    if (location != firstPort) return;
                    for (const auto& fault : faults) sim::ArmFault(simHost, chip, fault);
                });
        hosts_.push_back(std::move(setup->host));
    }
    if (options.verbose)
        hosts_.push_back(std::make_unique<TracingHost>(
            *hosts_.back(), [](const std::string& line) { std::cerr << line << '\n'; }));
    device_ = std::make_unique<QuorvexUsb>(Host());
    if (options.reporting) {
        reporting_ = options.reporting;
        reporting_->keepOutputs = [this] { return KeepOutputs(); };
    }
}

std::vector<std::string> Session::KeepOutputs() {
    outputsKept_ = true;
    std::vector<std::string> problems;
    if (simChip_)
        if (auto lost = sim::KeepSimFlash(*simChip_, simFlashFile_)) problems.push_back(*lost);
    const bool traceLost =
        (traceFile_ && traceFile_->Failed()) || (simTrace_ && simTrace_->Failed());
    if (traceLost) {
        const std::string& why = traceFile_ ? traceFile_->Problem() : simTrace_->Problem();
        problems.push_back("the trace was not written whole to " + traceFileName_ + " (" + why +
                           ")");
    }
    return problems;
}

// What a run's record reported already is not kept or reported again.
void Session::Finish() {
    if (outputsKept_) return;
    const auto problems = KeepOutputs();
    if (problems.empty()) return;
    std::string message;
    for (const std::string& problem : problems) message += (message.empty() ? "" : "; ") + problem;
    ThrowFailure(Failure(FailureKind::OutputNotWritten, std::nullopt, message));
}

std::string Session::ReplayProblem(bool commandSucceeded) const {
    if (!replay_) return {};
    const std::string divergence = replay_->Divergence();
    return !divergence.empty() || !commandSucceeded ? divergence : replay_->EndedEarly();
}

void WithSession(const GlobalOptions& options, const std::function<void(Session&)>& command) {
    // A dry run shows a plan instead (Perform); a command that reaches here under one would
    // send what it was asked only to show.
    if (options.dryRun) throw std::logic_error("a dry run reached for a device");
    Session session(options);
    try {
        command(session);
    } catch (...) {
        try {
            session.Finish();
        } catch (const OperationFailed&) {
            // The command's own failure is the one to report.
        }
        // Unless the replay stopped: then what followed the divergence is no evidence.
        if (const std::string problem = session.ReplayProblem(false); !problem.empty())
            throw OperationFailed(problem);
        throw;
    }
    session.Finish();
    if (const std::string problem = session.ReplayProblem(true); !problem.empty())
        throw OperationFailed(problem);
}

Session::~Session() {
    if (reporting_) reporting_->keepOutputs = nullptr;
}

std::vector<Candidate> Session::Candidates() {
    std::vector<Candidate> candidates;
    // The serial, the node and the permission are asked of the host itself: a tracing host in
    // front of it has no transfers to show for them.
    DeviceHost& system = *hosts_.front();
    for (const GangTarget& target : FindGangTargets(Host(), userDeviceMatch_))
        candidates.push_back({SelectorOf(target.path), target.ksMode, target.ksMode, target.path,
                              system.SerialNumber(target.path), system.SystemPath(target.path),
                              system.OpenDenied(target.path)});
    return candidates;
}

static constexpr std::string_view kSerialPrefix = "serial:";

bool Session::Selects(const GangTarget& target) {
    if (selector_.empty()) return true;
    if (selector_.starts_with(kSerialPrefix))
        return selector_.size() > kSerialPrefix.size() &&
               hosts_.front()->SerialNumber(target.path) == selector_.substr(kSerialPrefix.size());
    return SelectorOf(target.path) == selector_;
}

static NoDevice NoDeviceAt(const std::string& selector) {
    return NoDevice("No device at " + selector + " (see qvusb list)");
}

std::vector<GangTarget> Session::SelectedTargets() {
    if (waitSeconds_) WaitForDevice(*waitSeconds_);
    auto targets = FindGangTargets(Host(), userDeviceMatch_);
    if (targets.empty()) throw NoDevice();
    std::erase_if(targets, [&](const GangTarget& target) { return !Selects(target); });
    if (targets.empty()) throw NoDeviceAt(selector_);
    return targets;
}

void Session::WaitForDevice(double seconds) {
    constexpr std::uint32_t kPollMs = 333;
    const std::uint64_t started = Host().NowMs();
    bool toldWaiting = false;
    for (;;) {
        const auto targets = FindGangTargets(Host(), userDeviceMatch_);
        if (std::any_of(targets.begin(), targets.end(),
                        [&](const GangTarget& target) { return Selects(target); }))
            return;
        // Inside a flash job Ctrl-C asks for a stop; elsewhere it ends the process.
        const bool timedOut =
            seconds > 0 && static_cast<double>(Host().NowMs() - started) >= seconds * 1000;
        if (timedOut || StopOnSignal::Requested())
            throw NoDevice(selector_.empty() ? "No device appeared"
                                             : "No device at " + selector_ + " appeared");
        // Said once, when the board is not there yet, so that a silent terminal is explained.
        if (!toldWaiting) {
            std::cerr << "qvusb: waiting for " << (selector_.empty() ? "a board" : selector_);
            if (seconds > 0) std::cerr << " (at most " << seconds << " s)";
            std::cerr << "; Ctrl-C ends\n";
            toldWaiting = true;
        }
        Host().Sleep(kPollMs);
    }
}

static std::string Describe(const Candidate& candidate) {
    return candidate.selector + " (" +
           (candidate.userDevice ? "user device" : "firmware-update device") + ")";
}

const Candidate& Session::RequireDevice() {
    if (reporting_) reporting_->deviceCommand = true;
    if (waitSeconds_) WaitForDevice(*waitSeconds_);
    std::vector<Candidate> candidates = Candidates();
    if (!selector_.empty()) {
        std::erase_if(candidates, [&](const Candidate& c) {
            return !Selects(GangTarget{c.ksMode, c.path});
        });
        if (candidates.empty()) throw NoDeviceAt(selector_);
    }
    if (candidates.empty()) throw NoDevice();
    if (candidates.size() > 1) {
        std::string list;
        for (const Candidate& candidate : candidates)
            list += (list.empty() ? "" : ", ") + Describe(candidate);
        throw BadInput(std::to_string(candidates.size()) + " devices match: " + list +
                       "; choose one with --device SELECTOR");
    }
    chosen_ = candidates.front();
    if (reporting_) reporting_->device = chosen_.selector;
    device_->SetKsMode(chosen_.ksMode);
    device_->SetMatchText(chosen_.path);  // a path matches itself only
    if (!device_->FindDevice() && Host().LastOpenDenied())
        throw NoDevice("Permission denied opening " + chosen_.selector + ": " + AccessHint());
    return chosen_;
}

}  // namespace qv::cli
