#include "isp/Station.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "device/host/InterfacePath.h"

namespace qv {
namespace {

constexpr std::uint32_t kPollMs = 333;

// How long the station waits in real time for its boards' threads to catch up with its look
// at the bus: a board that waits for something else (the database) holds no look longer.
constexpr auto kLongestCatchUp = std::chrono::seconds(1);

// What one board's job reports, read by the station's thread while the job runs on its own,
// and how far on the board's own clock it has got.
class SlotView : public IspView {
public:
    explicit SlotView(DeviceHost& host) : host_(host) {}

    void ShowProcessInfo(const std::string& text) override {
        std::lock_guard lock(mutex_);
        text_ = text;
        progress_ = 0;
        reachedMs_ = host_.NowMs();
    }
    void ShowProcessAddress(const std::string&) override {}
    void ShowStatusRegister(const std::string&) override {}
    void ShowProgress(double fraction) override {
        progress_ = fraction;
        reachedMs_ = host_.NowMs();
    }
    void ShowChecksum(const std::string&) override {}
    void ShowMessage(const std::string& text, const std::string&) override { ShowProcessInfo(text); }
    void PumpEvents() override {}

    std::string Text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }
    double Progress() const { return progress_; }
    std::uint64_t ReachedMs() const { return reachedMs_; }

private:
    DeviceHost& host_;
    mutable std::mutex mutex_;
    std::string text_;
    std::atomic<double> progress_ = 0;
    std::atomic<std::uint64_t> reachedMs_ = 0;
};

// One board on its port, in a thread of its own; a raised station stop stops its job.
class BoardRun {
public:
    BoardRun(DeviceHost& host, const GangTarget& target, const ProgramFile& image,
             AutoRequest request, const ImageForBoard& imageFor, const std::atomic<bool>& stop,
             std::function<void()> onEnd)
        : selector_(SelectorOf(target.path)), view_(host), startedMs_(host.NowMs()) {
        thread_ = std::thread([this, &host, target, &image, request, &imageFor, &stop,
                               startingPoint = host.StartingPoint(),
                               onEnd = std::move(onEnd)]() mutable {
            host.ContinueFrom(startingPoint);
            // Only the station lists the bus: a board swapped on a port is always seen gone.
            const StopAsked stopAsked = [&stop] { return stop.load(); };
            board_.selector = selector_;
            board_.checksum = LoadedSum(image.ProgramImage);
            if (imageFor)
                request.prepareImage = [&](const FlashContext& flash, ProgramFile& program) {
                    BoardImage made{selector_, flash, program, view_, stopAsked, {}, false};
                    const JobResult result = imageFor(made);
                    board_.serial = made.serial;
                    board_.serialKept = made.serialKept;
                    board_.checksum = LoadedSum(program.ProgramImage);
                    return result;
                };
            board_.run = FlashOne(host, target, image, request, view_, stopAsked);
            endMs_ = host.NowMs();
            done_ = true;
            onEnd();
        });
    }
    ~BoardRun() {
        if (thread_.joinable()) thread_.join();
    }
    BoardRun(const BoardRun&) = delete;
    BoardRun& operator=(const BoardRun&) = delete;

    bool Done() const { return done_; }
    // On the board's own clock: when it ended, or how far it has got.
    std::uint64_t EndMs() const { return endMs_; }
    bool Reached(std::uint64_t ms) const { return done_ || view_.ReachedMs() >= ms; }
    StationBoard Judged() {
        thread_.join();
        return board_;
    }
    SlotSnapshot Snapshot(DeviceHost& host) const {
        return {selector_, SlotSnapshot::State::Flashing, view_.Progress(), view_.Text(),
                static_cast<double>(host.NowMs() - startedMs_) / 1000};
    }

private:
    std::string selector_;
    SlotView view_;
    StationBoard board_;
    std::uint64_t startedMs_ = 0;
    std::atomic<std::uint64_t> endMs_ = 0;
    std::atomic<bool> done_ = false;
    std::thread thread_;
};

struct Port {
    SlotSnapshot shown;
    GangTarget target;
    std::unique_ptr<BoardRun> run;
};

class Station {
public:
    Station(DeviceHost& host, const std::string& match, const ProgramFile& image,
            const StationSettings& settings, StationFront& front, const BoardFilter& accepts)
        : host_(host), match_(match), image_(image), settings_(settings), front_(front),
          accepts_(accepts) {
        // Every board takes the image loaded once, not the file again.
        image_.ProgramFileReady = true;
        settings_.request.steps.reloadFile = false;
    }

    std::vector<StationBoard> Run() {
        for (;;) {
            Harvest();
            const bool enough = settings_.units != 0 && judged_.size() >= settings_.units;
            if ((stop_ || enough) && Running() == 0) break;
            if (!stop_) Watch();
            front_.Show(Snapshots());
            if (front_.StopRequested()) stop_ = true;
            Wait();
        }
        return judged_;
    }

private:
    std::size_t Running() const {
        std::size_t running = 0;
        for (const auto& [selector, port] : ports_) running += port.run ? 1 : 0;
        return running;
    }

    // Ends the runs that have finished; their ports keep the verdict until emptied.
    void Harvest() {
        for (auto& [selector, port] : ports_) {
            // Where each thread keeps its own time, a board is judged at the first look after
            // its end on its own clock.
            if (!port.run || !port.run->Done()) continue;
            if (host_.ThreadsKeepOwnTime() && port.run->EndMs() > host_.NowMs()) continue;
            const StationBoard board = port.run->Judged();
            port.run.reset();
            const bool passed = board.run.result.Ok();
            port.shown = {selector,
                          passed ? SlotSnapshot::State::Passed : SlotSnapshot::State::Failed, 1.0,
                          board.run.result.text, board.run.seconds};
            judged_.push_back(board);
            front_.BoardJudged(board);
        }
    }

    // Takes in what appeared, forgets what left, and starts queued boards while there is room.
    // A listing that could not be obtained changes nothing: a board on its port stays judged.
    void Watch() {
        const auto listed = ListGangTargets(host_, match_);
        if (!listed) return;
        std::map<std::string, GangTarget> present;
        for (const GangTarget& target : *listed)
            if (!accepts_ || accepts_(target))
                present[SelectorOf(target.path)] = target;
        std::erase_if(ports_, [&](const auto& entry) {
            return !entry.second.run && !present.contains(entry.first);
        });
        for (const auto& [selector, target] : present) {
            auto [entry, added] = ports_.try_emplace(selector);
            if (added) entry->second.shown = {selector, SlotSnapshot::State::Queued, 0, "", 0};
            entry->second.target = target;
        }
        for (auto& [selector, port] : ports_) {
            if (port.shown.state != SlotSnapshot::State::Queued || !RoomForAnother()) continue;
            port.shown.state = SlotSnapshot::State::Flashing;
            port.run = std::make_unique<BoardRun>(host_, port.target, image_, settings_.request,
                                                  settings_.imageFor, stop_,
                                                  [this] { ended_.notify_all(); });
        }
    }

    bool RoomForAnother() const {
        const std::size_t running = Running();
        if (settings_.slots != 0 && running >= settings_.slots) return false;
        return settings_.units == 0 || judged_.size() + running < settings_.units;
    }

    std::vector<SlotSnapshot> Snapshots() const {
        std::vector<SlotSnapshot> shown;
        for (const auto& [selector, port] : ports_)
            shown.push_back(port.run ? port.run->Snapshot(host_) : port.shown);
        return shown;
    }

    // While boards run on real time, the poll interval, cut short when one ends; otherwise the
    // host's own wait. Where each thread keeps its own time, the look after the wait waits in
    // turn for every running board to have got that far on its own clock (a board's thread may
    // lag in real time), so that what a board does before the look (ending, leaving its port)
    // is seen by it, and identical runs look alike.
    void Wait() {
        if (Running() == 0 || host_.ThreadsKeepOwnTime()) {
            host_.Sleep(kPollMs);
            return CatchUp();
        }
        std::unique_lock lock(mutex_);
        ended_.wait_for(lock, std::chrono::milliseconds(kPollMs), [this] {
            for (const auto& [selector, port] : ports_)
                if (port.run && port.run->Done()) return true;
            return false;
        });
    }

    void CatchUp() {
        const std::uint64_t look = host_.NowMs();
        const auto giveUp = std::chrono::steady_clock::now() + kLongestCatchUp;
        std::unique_lock lock(mutex_);
        while (std::chrono::steady_clock::now() < giveUp && !front_.StopRequested()) {
            bool caughtUp = true;
            for (const auto& [selector, port] : ports_)
                caughtUp = caughtUp && (!port.run || port.run->Reached(look));
            if (caughtUp) return;
            ended_.wait_for(lock, std::chrono::milliseconds(1));
        }
    }

    DeviceHost& host_;
    std::string match_;
    ProgramFile image_;
    StationSettings settings_;
    StationFront& front_;
    BoardFilter accepts_;
    std::map<std::string, Port> ports_;
    std::vector<StationBoard> judged_;
    std::atomic<bool> stop_ = false;
    std::mutex mutex_;
    std::condition_variable ended_;
};

}  // namespace

std::vector<StationBoard> RunStation(DeviceHost& host, const std::string& userDeviceMatch,
                                     const ProgramFile& image, const StationSettings& settings,
                                     StationFront& front, const BoardFilter& accepts) {
    return Station(host, userDeviceMatch, image, settings, front, accepts).Run();
}

}  // namespace qv
