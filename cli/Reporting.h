#pragma once

#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliView.h"
#include "isp/JobResult.h"
#include "line/AuditLog.h"
#include "line/HostName.h"
#include "line/ResultHook.h"
#include "line/RunDatabase.h"

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
    // --db as messages name it (its password masked), also when a dry run leaves it unopened.
    std::string databaseName;
    std::string station;
    std::string resultHook;  // --on-result CMD
    std::string workOrder;     // --order
    std::string operatorName;  // --operator
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
    // The end of a run on one device: the view's verdict, the log's line and the database's
    // row, from one record. An output that could not be written fails the run: the record says
    // what happened to the board and what was not written, and no PASS is shown for it.
    void Finish(CliView& view, RunRecord& record) {
        Complete(record);
        Keep(record);
        Show(view, record);
    }

    // The same in parts, for a station that holds a board's record while the database server
    // cannot be reached. Complete adds to the record what the run wrote besides it and where it
    // belongs; Keep writes the log line and the database row; Show gives the verdict and runs
    // the --on-result command.
    void Complete(RunRecord& record) {
        if (keepOutputs)
            for (const std::string& problem : keepOutputs()) NotWritten(record, problem);
        record.workOrder = workOrder;
        record.operatorName = operatorName;
    }
    // A server that cannot be reached fails the record.
    void Keep(RunRecord& record) {
        try {
            KeepRecords(record);
        } catch (const DatabaseUnreachable& error) {
            NotRecorded(record, error);
            AppendLog(record);
        }
    }
    // Writes nothing while the server cannot be reached: false, and the record is to be kept
    // again later.
    [[nodiscard]] bool KeepUnlessAway(RunRecord& record) {
        try {
            KeepRecords(record);
            return true;
        } catch (const DatabaseUnreachable&) {
            return false;
        }
    }
    void Show(CliView& view, const RunRecord& record) {
        view.ShowResult(record);
        Announce(record);
    }
    // What follows a verdict wherever it was shown: the result is given, and the --on-result
    // command runs.
    void Announce(const RunRecord& record) {
        resultShown = true;
        if (!resultHook.empty()) RunResultHookFor(record);
    }

private:
    struct LogNotWritten {};

    // The database's row and serial number, the log's line and the verdict agree. The log line
    // is written inside the database's transaction: a line that cannot be written undoes the
    // row and the number's settlement, and the board is recorded again as failed. A record the
    // database did not take fails the board, its number left allocated for the station's next
    // start to void; the log says so. A server that cannot be reached is left to the caller.
    void KeepRecords(RunRecord& record) {
        if (!database) return AppendLog(record);
        std::optional<std::string> logProblem;
        try {
            database->Record(record, Place(), [&] {
                if (log) logProblem = log->Append(record);
                if (logProblem) throw LogNotWritten();
            });
            return;
        } catch (const LogNotWritten&) {
            NotWritten(record, *logProblem);
        } catch (const DatabaseUnreachable&) {
            throw;
        } catch (const DatabaseError& error) {
            NotRecorded(record, error);
            return AppendLog(record);
        }
        try {
            database->Record(record, Place(), {});
        } catch (const DatabaseError& error) {
            NotRecorded(record, error);
        }
    }

    static void NotRecorded(RunRecord& record, const DatabaseError& error) {
        NotWritten(record, std::string("the run was not recorded in the database (") +
                               error.what() + ")");
    }

    void AppendLog(RunRecord& record) {
        if (log)
            if (const auto problem = log->Append(record)) NotWritten(record, *problem);
    }

    // The command for a judged board runs once its records are written, told the verdict they
    // hold; a failure of it is said on standard error and in the log and changes no verdict.
    void RunResultHookFor(const RunRecord& record) {
        const auto problem =
            RunResultHook(resultHook, ResultHookEnvironment(record, station), kResultHookSeconds);
        if (!problem) return;
        std::cerr << "qvusb: --on-result for " << record.device << " " << *problem << "\n";
        if (log)
            if (const auto unlogged = log->AppendResultHookFailure(record, *problem))
                std::cerr << "qvusb: " << *unlogged << "\n";
    }

    RunPlace Place() const { return {station, UtcNow(), HostName(), commandLine}; }

    static void NotWritten(RunRecord& record, const std::string& problem) {
        record.ok = false;
        if (record.exitCode == 0) record.exitCode = 1;
        if (record.failure.empty()) record.failure = KindName(FailureKind::OutputNotWritten);
        record.message += (record.message.empty() ? "" : "; ") + problem;
    }
};

}  // namespace qv::cli
