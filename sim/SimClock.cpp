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

// The virtual times this thread keeps, one per clock it has read; handed back to each clock
// that still exists when the thread ends.
struct ThreadTimes {
    struct Entry {
        Entry(const SimClock* owner, std::weak_ptr<int> ownerAlive, std::uint64_t startNs)
            : clock(owner), alive(std::move(ownerAlive)), ns(startNs) {}
        const SimClock* clock;
        std::weak_ptr<int> alive;
        std::atomic<std::uint64_t> ns;
    };
    std::vector<std::unique_ptr<Entry>> entries;

    ~ThreadTimes() {
        for (const auto& entry : entries)
            if (entry->alive.lock()) const_cast<SimClock*>(entry->clock)->FoldIn(entry->ns);
    }
};

static thread_local ThreadTimes threadTimes;

SimClock::SimClock(Mode mode) : mode_(mode), realStartNs_(SteadyNs()) {}

std::atomic<std::uint64_t>& SimClock::ThreadTimeline() const {
    for (const auto& entry : threadTimes.entries)
        if (entry->clock == this && !entry->alive.expired()) return entry->ns;
    std::erase_if(threadTimes.entries, [this](const auto& entry) { return entry->clock == this; });
    threadTimes.entries.push_back(
        std::make_unique<ThreadTimes::Entry>(this, alive_, mainNs_.load()));
    return threadTimes.entries.back()->ns;
}

void SimClock::FoldIn(std::uint64_t nanoseconds) {
    std::uint64_t joined = joinedNs_.load();
    while (joined < nanoseconds && !joinedNs_.compare_exchange_weak(joined, nanoseconds)) {
    }
}

void SimClock::Sleep(std::uint32_t milliseconds) { SpendNs(std::uint64_t{milliseconds} * 1'000'000); }

void SimClock::AdvanceNs(std::uint64_t nanoseconds) {
    if (mode_ != Mode::Virtual) return;
    if (!OnMainThread()) {
        ThreadTimeline() += nanoseconds;
        return;
    }
    mainNs_ = std::max(mainNs_.load(), joinedNs_.load()) + nanoseconds;
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
    if (!OnMainThread()) return ThreadTimeline().load();
    return std::max(mainNs_.load(), joinedNs_.load());
}

}  // namespace qv::sim
