#pragma once

#include <atomic>
#include <cstdint>

namespace qv::sim {

// Time for the simulated bus and chip: virtual (sleeping advances it at once, for tests) or
// real (sleeping sleeps, for a demo in the window). Kept in microseconds, so that short chip
// operations such as a flash page program (well under a millisecond) have a duration. Safe to
// use from several threads (devices programmed at once share one bus).
class SimClock {
public:
    enum class Mode { Virtual, Real };

    explicit SimClock(Mode mode = Mode::Virtual);

    void Sleep(std::uint32_t milliseconds);
    std::uint64_t NowMs() const { return NowUs() / 1000; }
    std::uint64_t NowUs() const;
    // Moves virtual time on without a caller sleeping (e.g. a test waiting for a timer, or the
    // bus time of one transfer). Real time moves by itself, so these do nothing in real mode.
    void Advance(std::uint32_t milliseconds) { AdvanceUs(std::uint64_t{milliseconds} * 1000); }
    void AdvanceUs(std::uint64_t microseconds);
    // The time one operation of the bus or chip takes: moves virtual time on, or sleeps.
    void Spend(std::uint64_t microseconds);
    Mode GetMode() const { return mode_; }

private:
    Mode mode_;
    std::atomic<std::uint64_t> virtualNowUs_ = 0;
    std::uint64_t realStartUs_ = 0;
};

}  // namespace qv::sim
