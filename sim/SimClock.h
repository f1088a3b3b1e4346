#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace qv::sim {

// Time for the simulated bus and chips: virtual (sleeping advances it at once, for tests) or
// real (sleeping sleeps, for a demo in the window). Kept in nanoseconds, so that short chip
// operations such as a page program or the bus time of a packet have a duration.
//
// On virtual time every thread keeps its own time: a board programmed in a thread of its own
// spends its own seconds, not those of the boards beside it. The thread that made the clock
// keeps the clock's main time; another thread starts from the main time the main thread last
// moved to itself, and once it has closed a device (a board's job closes its device at its
// end) the main thread's clock reads at least the time it closed it at (as a join waits for
// it; the main thread moves on from there when it next spends time).
// Each simulated chip is driven by one thread at a time, so its busy times are measured on
// that thread's time.
class SimClock {
public:
    enum class Mode { Virtual, Real };

    explicit SimClock(Mode mode = Mode::Virtual);
    SimClock(const SimClock&) = delete;
    SimClock& operator=(const SimClock&) = delete;

    void Sleep(std::uint32_t milliseconds);
    std::uint64_t NowMs() const { return NowNs() / 1'000'000; }
    std::uint64_t NowUs() const { return NowNs() / 1000; }
    std::uint64_t NowNs() const;
    // Moves virtual time on without a caller sleeping (e.g. a test waiting for a timer, or the
    // bus time of one transfer). Real time moves by itself, so these do nothing in real mode.
    void Advance(std::uint32_t milliseconds) { AdvanceNs(std::uint64_t{milliseconds} * 1'000'000); }
    void AdvanceUs(std::uint64_t microseconds) { AdvanceNs(microseconds * 1000); }
    void AdvanceNs(std::uint64_t nanoseconds);
    // The time one operation of the bus or chip takes: moves virtual time on, or sleeps.
    void Spend(std::uint64_t microseconds) { SpendNs(microseconds * 1000); }
    void SpendNs(std::uint64_t nanoseconds);
    Mode GetMode() const { return mode_; }
    // The calling thread, not the clock's own, has come to the end of a piece of work: the
    // clock's own thread reads at least its time from now on.
    void FoldThisThread();

private:
    bool OnMainThread() const { return std::this_thread::get_id() == mainThread_; }
    std::uint64_t& ThreadTimeline() const;
    void FoldIn(std::uint64_t nanoseconds);

    Mode mode_;
    std::uint64_t serial_;
    std::thread::id mainThread_ = std::this_thread::get_id();
    std::atomic<std::uint64_t> mainNs_ = 0;
    std::atomic<std::uint64_t> joinedNs_ = 0;  // the latest end of another thread
    std::uint64_t realStartNs_ = 0;
};

}  // namespace qv::sim
