#include "sim/SimClock.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace qv::sim {

static std::uint64_t SteadyNs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
}

// The virtual time this thread keeps for its clock (a thread drives the boards of one bus).
// A plain record: a thread_local with a destructor is not safe in every C++ runtime this is
// built for (MinGW's). Every clock has a serial number of its own, so a clock made where a
// freed one stood is not taken for it.
struct ThreadTime {
    std::uint64_t clockSerial = 0;
    std::uint64_t ns = 0;
};
static thread_local ThreadTime threadTime;
static std::atomic<std::uint64_t> nextClockSerial{1};

SimClock::SimClock(Mode mode) : mode_(mode), serial_(nextClockSerial++), realStartNs_(SteadyNs()) {}

std::uint64_t& SimClock::ThreadTimeline() const {
    if (threadTime.clockSerial != serial_) threadTime = {serial_, mainNs_.load()};
    return threadTime.ns;
}

void SimClock::ContinueFrom(std::uint64_t nanoseconds) {
    if (mode_ != Mode::Virtual) return;
    if (!OnMainThread()) {
        threadTime = {serial_, nanoseconds};
        return;
    }
    std::uint64_t main = mainNs_.load();
    while (main < nanoseconds && !mainNs_.compare_exchange_weak(main, nanoseconds)) {
    }
}

void SimClock::Sleep(std::uint32_t milliseconds) { SpendNs(std::uint64_t{milliseconds} * 1'000'000); }

void SimClock::AdvanceNs(std::uint64_t nanoseconds) {
    if (mode_ != Mode::Virtual) return;
    if (!OnMainThread()) {
        ThreadTimeline() += nanoseconds;
        return;
    }
    mainNs_ += nanoseconds;
}

// On real time a thread's spending is added to a deadline it sleeps until once the deadline is
// a little ahead: a sleep overshoots by tens of microseconds, which would otherwise be added to
// every transfer's 125 us. Until then the thread reads its clock as at the deadline, so the
// chip it drives sees the time spent.
static thread_local std::uint64_t deadlineNs = 0;

void SimClock::SpendNs(std::uint64_t nanoseconds) {
    if (mode_ != Mode::Real) return AdvanceNs(nanoseconds);
    constexpr std::uint64_t kLeastSleepNs = 2'000'000;
    const std::uint64_t now = SteadyNs();
    deadlineNs = std::max(deadlineNs, now) + nanoseconds;
    if (deadlineNs >= now + kLeastSleepNs)
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
            std::chrono::nanoseconds(deadlineNs)));
}

std::uint64_t SimClock::NowNs() const {
    if (mode_ == Mode::Real) return std::max(SteadyNs(), deadlineNs) - realStartNs_;
    if (!OnMainThread()) return ThreadTimeline();
    return mainNs_.load();
}

}  // namespace qv::sim
