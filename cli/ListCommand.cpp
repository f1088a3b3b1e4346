#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/Reporting.h"
#include "common/HexFormat.h"
#include "device/host/InterfacePath.h"
#include "line/JsonLine.h"

namespace qv::cli {
namespace {

struct ListArguments {
    bool verbose = false;
};

struct Ids {
    std::string vid;
    std::string pid;
};

// The VID and PID an interface path names, as four upper-case digits; empty when it names none.
Ids IdsOf(const Candidate& candidate) {
    const auto path = InterfacePath::Parse(candidate.path);
    if (!path) return {};
    return {Hex4(path->vendorId), Hex4(path->productId)};
}

// "1-3  user device  6B94:F82D  audio driver  QV000003" (the serial number, "-" when the
// device has none, "no permission (udev rule?)" when the user may not open it), the system's
// name of the device only when asked.
void PrintCandidate(const Candidate& candidate, bool withPath, std::ostream& out) {
    const Ids ids = IdsOf(candidate);
    out << candidate.selector << "  "
        << (candidate.userDevice ? "user device" : "firmware-update device") << "  "
        << (ids.vid.empty() ? "?" : ids.vid + ":" + ids.pid) << "  "
        << (candidate.ksMode ? "audio driver" : "USB driver") << "  "
        << (candidate.openDenied       ? "no permission (udev rule?)"
            : candidate.serial.empty() ? "-"
                                       : candidate.serial);
    if (withPath) out << "  " << candidate.systemPath;
    out << "\n";
}

std::string CandidateJson(const Candidate& candidate) {
    const Ids ids = IdsOf(candidate);
    return JsonLine()
        .Add("event", "device")
        .Add("selector", candidate.selector)
        .Add("kind", candidate.userDevice ? "user" : "firmware-update")
        .Add("vid", ids.vid)
        .Add("pid", ids.pid)
        .Add("carrier", candidate.ksMode ? "audio" : "usb")
        .Add("serial", candidate.serial)
        .Add("path", candidate.path)
        .Add("system_path", candidate.systemPath)
        .Add("permission", !candidate.openDenied)
        .Text();
}

// One JSON object per device. No device is exit 3 as in the text mode; that failure, like any
// other, ends in the result line the command line writes.
void RunListJson(Session& session, std::ostream& out) {
    const std::vector<Candidate> candidates = session.Candidates();
    if (candidates.empty()) throw NoDevice();
    for (const Candidate& candidate : candidates) out << CandidateJson(candidate) << "\n";
}

}  // namespace

void RunList(Session& session, bool withPaths, std::ostream& out) {
    const std::vector<Candidate> candidates = session.Candidates();
    if (candidates.empty()) throw NoDevice();
    for (const Candidate& candidate : candidates) PrintCandidate(candidate, withPaths, out);
}

void AddListCommand(CLI::App& app, const GlobalOptions& options) {
    auto args = std::make_shared<ListArguments>();
    auto* list = app.add_subcommand(
        "list",
        "The devices a command can use: selector (for --device), kind, VID:PID, carrier, serial");
    list->add_flag("-v,--verbose", args->verbose,
                   "Show each device's system path too (/dev/bus/usb/BUS/DEVICE on Linux)");
    list->callback([&options, args] {
        Reporting& reporting = *options.reporting;
        WithSession(options, [&](Session& session) {
            if (IsJson(reporting.mode)) return RunListJson(session, *reporting.out);
            RunList(session, args->verbose || options.verbose, std::cout);
        });
        // The devices' lines are the whole answer of a list that succeeded, with no result line.
        reporting.resultShown = true;
    });
}

}  // namespace qv::cli
