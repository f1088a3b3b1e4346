#include "isp/GangFlash.h"

#include <thread>

#include "device/DeviceMatch.h"
#include "device/Guid.h"
#include "isp/LastTextView.h"

namespace qv {
namespace {

// False when the listing could not be obtained.
bool AddMatching(DeviceHost& host, const DeviceSearch& search, std::vector<GangTarget>& targets) {
    const auto paths =
        host.ListInterfaces(search.ksMode ? kAudioInterfaceClass : kUsbDeviceInterfaceClass);
    if (!paths) return false;
    if (search.match.empty()) return true;
    for (const std::string& path : *paths) {
        if (path.find(search.match) != std::string::npos) targets.push_back({search.ksMode, path});
    }
    return true;
}

// Passes everything on to the view it wraps; where the job lets pending work run, it raises
// the job's stop flag once a stop was asked for, so the flag is only touched by the job's own
// thread.
class StoppableView : public IspView {
public:
    StoppableView(IspView& inner, const StopAsked& stopAsked)
        : inner_(inner), stopAsked_(stopAsked) {}
    void Watch(bool& stopRequested) { stopRequested_ = &stopRequested; }

    void ShowProcessInfo(const std::string& text) override { inner_.ShowProcessInfo(text); }
    void ShowProcessAddress(const std::string& text) override { inner_.ShowProcessAddress(text); }
    void ShowStatusRegister(const std::string& text) override { inner_.ShowStatusRegister(text); }
    void ShowProgress(double fraction) override { inner_.ShowProgress(fraction); }
    void ShowChecksum(const std::string& text) override { inner_.ShowChecksum(text); }
    void ShowMessage(const std::string& text, const std::string& detail) override {
        inner_.ShowMessage(text, detail);
    }
    void PumpEvents() override {
        inner_.PumpEvents();
        if (stopRequested_ != nullptr && stopAsked_ && stopAsked_()) *stopRequested_ = true;
    }

private:
    IspView& inner_;
    const StopAsked& stopAsked_;
    bool* stopRequested_ = nullptr;
};

}  // namespace

std::optional<std::vector<GangTarget>> ListGangTargets(DeviceHost& host,
                                                       const std::string& userDeviceMatch) {
    std::vector<GangTarget> targets;
    const auto order = SearchOrder(userDeviceMatch);
    if (!AddMatching(host, order[0], targets)) return std::nullopt;
    if (!targets.empty()) return targets;
    for (std::size_t i = 1; i < order.size(); ++i)
        if (!AddMatching(host, order[i], targets)) return std::nullopt;
    return targets;
}

std::vector<GangTarget> FindGangTargets(DeviceHost& host, const std::string& userDeviceMatch) {
    return ListGangTargets(host, userDeviceMatch).value_or(std::vector<GangTarget>{});
}

BoardResult FlashOne(DeviceHost& host, const GangTarget& target, const ProgramFile& image,
                     const AutoRequest& request, IspView& view, const StopAsked& stopAsked) {
    const std::uint64_t startedMs = host.NowMs();
    QuorvexUsb device(host);
    device.SetKsMode(target.ksMode);
    device.UseFoundInterface(target.path);
    ProgramFile program = image;
    FlashContext flash;
    StoppableView stoppable(view, stopAsked);
    IspJobs jobs(device, stoppable, program, flash);
    stoppable.Watch(jobs.StopRequested);
    bool autoBusy = false;
    const JobResult result = *jobs.Auto(request, autoBusy);
    return {target, result, flash.ChipId, flash.UniqueId,
            static_cast<double>(host.NowMs() - startedMs) / 1000};
}

std::vector<BoardResult> FlashAll(DeviceHost& host, const std::vector<GangTarget>& targets,
                                  const ProgramFile& image, const AutoRequest& request,
                                  const StopAsked& stopAsked) {
    std::vector<BoardResult> results(targets.size());
    std::vector<LastTextView> views(targets.size());
    std::vector<std::uint64_t> ends(targets.size());
    std::vector<std::thread> workers;
    workers.reserve(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        workers.emplace_back([&, i, startingPoint = host.StartingPoint()] {
            host.ContinueFrom(startingPoint);
            results[i] = FlashOne(host, targets[i], image, request, views[i], stopAsked);
            ends[i] = host.StartingPoint();
        });
    }
    for (std::thread& worker : workers) worker.join();
    for (const std::uint64_t end : ends) host.ContinueFrom(end);
    return results;
}

}  // namespace qv
