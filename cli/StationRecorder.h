#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "cli/Reporting.h"
#include "line/StationClaim.h"

namespace qv::cli {

// The records of a station's judged boards, written off the thread that watches the bus and
// hands boards to ports: on a thread of its own each board's log line and database row are
// written and its verdict shown, in the order the boards were judged. While the database server
// cannot be reached the records wait and are tried again (the server connection's back-off
// decides when it is asked); the station's claim on its name is renewed meanwhile.
class StationRecorder {
public:
    // Shows a written record's verdict; called on the recorder's thread.
    using ShowVerdict = std::function<void(RunRecord& record)>;

    StationRecorder(Reporting& reporting, StationClaim* claim, ShowVerdict showVerdict);
    // Ends as Finish does when nothing may wait any more.
    ~StationRecorder();
    StationRecorder(const StationRecorder&) = delete;
    StationRecorder& operator=(const StationRecorder&) = delete;

    void Add(RunRecord record);
    // Records judged and not written yet, and whether that is because the server is away.
    std::size_t Waiting() const;
    bool DatabaseAway() const;
    // Waits until every record is written or `giveUp` says to stop waiting; what is left then
    // is written as not recorded (FAIL, its number left allocated) and its verdict shown.
    void Finish(const std::function<bool()>& giveUp);

private:
    void Work();
    // Writes the waiting records in order until the server turns out to be away.
    void WriteWaiting(std::unique_lock<std::mutex>& lock);

    Reporting& reporting_;
    StationClaim* claim_;
    ShowVerdict showVerdict_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;     // a record came, or the end
    std::condition_variable written_;  // a record was written
    std::deque<RunRecord> waiting_;
    bool away_ = false;
    bool ending_ = false;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace qv::cli
