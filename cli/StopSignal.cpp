#include "cli/StopSignal.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>

namespace qv::cli {
namespace {

std::atomic<bool> stopRequested = false;
// When the first signal came (steady clock, nanoseconds); 0 before it.
std::atomic<std::int64_t> firstSignalNs = 0;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<std::int64_t>::is_always_lock_free, "set from a signal handler");

// timeout(1) sends its signal to the process and again to its group, and a terminal's Ctrl-C
// may reach the process twice: a second signal this close to the first is the same request.
constexpr std::int64_t kInsistingAfterNs = 1'000'000'000;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

extern "C" void AskToStop(int signal) {
    const std::int64_t now = NowNs();
    std::int64_t first = 0;
    if (firstSignalNs.compare_exchange_strong(first, now)) {
        stopRequested = true;
        return;
    }
    if (now - first < kInsistingAfterNs) return;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

StopOnSignal::StopOnSignal() {
    stopRequested = false;
    firstSignalNs = 0;
    std::signal(SIGINT, AskToStop);
    std::signal(SIGTERM, AskToStop);
}

StopOnSignal::~StopOnSignal() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool StopOnSignal::Requested() { return stopRequested; }

}  // namespace qv::cli
