#pragma once

#include <iosfwd>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/AuditLog.h"
#include "cli/CliView.h"
#include "cli/HostName.h"
#include "cli/RunDatabase.h"
#include "isp/JobResult.h"

namespace qv::cli {

// How this qvusb run reports, chosen once from its options: the output mode, where standard
// output really goes (with --json, whatever else a command prints is collected instead), the
// audit log, and whether a result has been given yet.
struct Reporting {
    OutputMode mode = OutputMode::Lines;
    std::ostream* out = nullptr;
    std::unique_ptr<AuditLog> log;
    // --db: the run's row goes there too; the station and the command line it is written with.
    std::unique_ptr<RunDatabase> database;
    std::string station;
    std::string commandLine;
    bool resultShown = false;
    // Set when a command looks for its device; the selector of the one it chose, if any. A
    // command that reached for a device and wrote no record of its own is logged from these.
    bool deviceCommand = false;
    std::string device;
    // Writes what the run keeps besides the record (the simulated flash) and says which of its
    // outputs (that, the trace) could not be written; set by the session.
    std::function<std::vector<std::string>()> keepOutputs;

    std::unique_ptr<CliView> NewView() const { return MakeView(mode, *out); }
    // The end of a run on one device: the view's verdict and the log's line, from one record.
    // An output that could not be written fails the run: the record says what happened to the
    // board and what was not written, and no PASS is shown for it.
    void Finish(CliView& view, RunRecord& record) {
        if (keepOutputs)
            for (const std::string& problem : keepOutputs()) NotWritten(record, problem);
        SettleSerial(record);
        if (database) {
            try {
                database->AddRun(record, station, UtcNow(), HostName(), commandLine);
            } catch (const DatabaseError& error) {
                NotWritten(record, std::string("the run's row was not written to the database (") +
                                       error.what() + ")");
            }
        }
        if (log)
            if (const auto problem = log->Append(record)) NotWritten(record, *problem);
        view.ShowResult(record);
        resultShown = true;
    }

private:
    // The end of a board that was given a serial number: programmed when it passed, void
    // otherwise; a number that cannot be settled fails the record as an unwritten output does.
    void SettleSerial(RunRecord& record) {
        if (record.serial.empty() || !database) return;
        try {
            database->Settle(record.serial, record.ok);
        } catch (const DatabaseError& error) {
            NotWritten(record, "the serial number " + record.serial +
                                   " was not settled in the database (" + error.what() + ")");
        }
    }

    static void NotWritten(RunRecord& record, const std::string& problem) {
        record.ok = false;
        if (record.exitCode == 0) record.exitCode = 1;
        if (record.failure.empty()) record.failure = KindName(FailureKind::OutputNotWritten);
        record.message += (record.message.empty() ? "" : "; ") + problem;
    }
};

}  // namespace qv::cli
