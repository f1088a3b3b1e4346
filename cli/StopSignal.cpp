#include "cli/StopSignal.h"

#include <atomic>
#include <csignal>

namespace qv::cli {
namespace {

std::atomic<bool> stopRequested = false;
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void AskToStop(int signal) {
    if (stopRequested.exchange(true)) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

}  // namespace

StopOnSignal::StopOnSignal() {
    stopRequested = false;
    std::signal(SIGINT, AskToStop);
    std::signal(SIGTERM, AskToStop);
}

StopOnSignal::~StopOnSignal() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool StopOnSignal::Requested() { return stopRequested; }

}  // namespace qv::cli
