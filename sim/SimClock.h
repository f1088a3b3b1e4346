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
// keeps the clock's main time. Work handed to another thread carries the time along: the
// starter takes NowNs as the starting point and the new thread goes on from it
// (ContinueFrom); a thread that joins others goes on from the latest of their ends the same
// way. A thread started without one begins at the main time.
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
    // The calling thread goes on from a time another thread had reached (its NowNs): a thread
    // just started from its starter's, the main thread after a join from the latest end of
    // those it joined (it never goes back).
    void ContinueFrom(std::uint64_t nanoseconds);

private:
    bool OnMainThread() const { return std::this_thread::get_id() == mainThread_; }
    std::uint64_t& ThreadTimeline() const;

    Mode mode_;
    std::uint64_t serial_;
    std::thread::id mainThread_ = std::this_thread::get_id();
    std::atomic<std::uint64_t> mainNs_ = 0;
    std::uint64_t realStartNs_ = 0;
};

}  // namespace qv::sim
