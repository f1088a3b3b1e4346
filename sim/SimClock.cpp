#include "sim/SimClock.h"

#include <chrono>
#include <thread>

namespace qv::sim {

static std::uint64_t SteadyUs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

SimClock::SimClock(Mode mode) : mode_(mode), realStartUs_(SteadyUs()) {}

void SimClock::Sleep(std::uint32_t milliseconds) {
    if (mode_ == Mode::Real) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    } else {
        virtualNowUs_ += std::uint64_t{milliseconds} * 1000;
    }
}

void SimClock::AdvanceUs(std::uint64_t microseconds) {
    if (mode_ == Mode::Virtual) virtualNowUs_ += microseconds;
}

void SimClock::Spend(std::uint64_t microseconds) {
    if (mode_ == Mode::Real) {
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
    } else {
        virtualNowUs_ += microseconds;
    }
}

std::uint64_t SimClock::NowUs() const {
    return mode_ == Mode::Real ? SteadyUs() - realStartUs_ : virtualNowUs_.load();
}

}  // namespace qv::sim
