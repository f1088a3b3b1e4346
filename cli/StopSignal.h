#pragma once

namespace qv::cli {

// While it lives, SIGINT and SIGTERM ask the running flash job to stop, as the window's Stop
// button does: the job ends at its next block or step and still protects the flash and leaves
// ISP mode. A second signal ends the process at once when it comes a second or more after the
// first; one close behind it (timeout(1) signals the process and its group) changes nothing, so
// the stopped run still gets its verdict and log line.
class StopOnSignal {
public:
    StopOnSignal();
    ~StopOnSignal();
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

    // True once a signal asked for a stop.
    static bool Requested();
};

}  // namespace qv::cli
