#include "sim/SimClock.h"

#include <chrono>
#include <thread>

namespace qv::sim {

static std::uint64_t SteadyMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

SimClock::SimClock(Mode mode) : mode_(mode), realStartMs_(SteadyMs()) {}

void SimClock::Sleep(std::uint32_t milliseconds) {
    if (mode_ == Mode::Real) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    } else {
        virtualNowMs_ += milliseconds;
    }
}

void SimClock::Advance(std::uint32_t milliseconds) {
    if (mode_ == Mode::Virtual) virtualNowMs_ += milliseconds;
}

std::uint64_t SimClock::NowMs() const {
    return mode_ == Mode::Real ? SteadyMs() - realStartMs_ : virtualNowMs_;
}

}  // namespace qv::sim
