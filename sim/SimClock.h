#pragma once

#include <cstdint>

namespace qv::sim {

// Time for the simulated bus and chip: virtual (sleeping advances it at once, for tests) or
// real (sleeping sleeps, for a demo in the window).
class SimClock {
public:
    enum class Mode { Virtual, Real };

    explicit SimClock(Mode mode = Mode::Virtual);

    void Sleep(std::uint32_t milliseconds);
    std::uint64_t NowMs() const;
    // Moves virtual time on without a caller sleeping (e.g. a test waiting for a timer).
    void Advance(std::uint32_t milliseconds);
    Mode GetMode() const { return mode_; }

private:
    Mode mode_;
    std::uint64_t virtualNowMs_ = 0;
    std::uint64_t realStartMs_ = 0;
};

}  // namespace qv::sim
