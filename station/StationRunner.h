#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "cli/Session.h"
#include "station/StationPicture.h"

// Runs the station window's line on a thread of its own, with the same runner as `qvusb
// station`: the job's image, serial numbers, database and slot map; the picture is its front.
// Nothing here waits for a board or the database on the window's thread.
class StationRunner {
public:
    // `bus`: how the boards are reached (the simulated line, or USB) and the command line kept
    // with every run row.
    StationRunner(qv::cli::GlobalOptions bus, std::string commandLine, StationPicture& picture);
    // Stops a running line and waits for its boards to end cleanly.
    ~StationRunner();
    StationRunner(const StationRunner&) = delete;
    StationRunner& operator=(const StationRunner&) = delete;

    // Starts the job's line; `units` boards end it (0: only a stop). A line that is still
    // running is left as it is.
    void Start(const qv::LoadedJob& job, unsigned units);
    // Learns the fixture's `count` slots (see LearnSlots) and writes them into the job's file,
    // which the window then opens again.
    void Learn(const std::string& jobFile, const qv::LoadedJob& job, unsigned count);
    // Asks every board to end at its next block or step, as Ctrl-C does for `qvusb station`.
    void Stop() { picture_.RequestStop(); }
    bool Running() const { return running_; }

private:
    void Run(qv::LoadedJob job, unsigned units);
    void LearnSlots(std::string jobFile, qv::LoadedJob job, unsigned count);
    // Starts work on the thread, once the last work has ended.
    void StartWork(std::function<void()> work);

    const qv::cli::GlobalOptions bus_;
    const std::string commandLine_;
    StationPicture& picture_;
    std::thread thread_;
    std::atomic<bool> running_ = false;
};
