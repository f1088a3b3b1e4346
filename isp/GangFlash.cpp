#include "isp/GangFlash.h"

#include <thread>

#include "device/DeviceMatch.h"
#include "device/Guid.h"
#include "isp/LastTextView.h"

namespace qv {
namespace {

void AddMatching(DeviceHost& host, bool ksMode, const std::string& match,
                 std::vector<GangTarget>& targets) {
    const auto paths =
        host.ListInterfaces(ksMode ? kAudioInterfaceClass : kUsbDeviceInterfaceClass);
    if (!paths || match.empty()) return;
    for (const std::string& path : *paths) {
        if (path.find(match) != std::string::npos) targets.push_back({ksMode, path});
    }
}

GangResult FlashOne(DeviceHost& host, const GangTarget& target, const AutoRequest& request) {
    QuorvexUsb device(host);
    device.SetKsMode(target.ksMode);
    device.UseFoundInterface(target.path);
    LastTextView view;
    ProgramFile program;
    FlashContext flash;
    IspJobs jobs(device, view, program, flash);
    bool autoBusy = false;
    const AutoOutcome outcome = jobs.Auto(request, autoBusy);
    const std::string& text =
        outcome == AutoOutcome::Refused ? view.lastMessage : view.lastProcessInfo;
    return {target, outcome, text};
}

}  // namespace

std::vector<GangTarget> FindGangTargets(DeviceHost& host, const std::string& userDeviceMatch) {
    std::vector<GangTarget> targets;
    AddMatching(host, true, userDeviceMatch, targets);
    if (!targets.empty()) return targets;
    AddMatching(host, false, kFirmwareUpdateMatch6b94, targets);
    AddMatching(host, false, kFirmwareUpdateMatch4d17, targets);
    return targets;
}

std::vector<GangResult> FlashAll(DeviceHost& host, const std::vector<GangTarget>& targets,
                                 const AutoRequest& request) {
    std::vector<GangResult> results(targets.size());
    std::vector<std::thread> workers;
    workers.reserve(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        workers.emplace_back([&, i] { results[i] = FlashOne(host, targets[i], request); });
    }
    for (std::thread& worker : workers) worker.join();
    return results;
}

}  // namespace qv
