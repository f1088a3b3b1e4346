#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "line/DatabaseUrl.h"
#include "line/RecordErrors.h"
#include "line/RunRecord.h"
#include "line/SerialFormat.h"

namespace qv {

// One serial number as the database keeps it.
struct SerialRow {
    std::string serial;
    std::string status;  // allocated, programmed or void
    std::string station;
    std::string port;
    std::string allocatedAt;  // UTC, as the log writes times
};

// One board's run as the report reads it back.
struct RunRow {
    std::string time;  // UTC, "2026-12-07T22:31:45Z"
    std::string station;
    std::string port;
    std::string firmware;  // the SHA-256 of the file
    std::string file;
    bool ok = false;
    std::string failure;      // the failure's kind, empty for a pass
    std::string failingStep;  // the failure's message
    std::string serial;
    std::string flashUid;
    std::string slot;  // the fixture's slot the port was, when a job named it
};

// Which runs a report covers: from a time on and before another (as ParseUtcBound gives them),
// of one station, production order or operator; empty: all.
struct RunFilter {
    std::string since;
    std::string until;
    std::string station;
    std::string workOrder;
    std::string operatorName;
};

// Where and how a run was made, as its row keeps it.
struct RunPlace {
    std::string station;
    std::string utcTime;
    std::string hostName;
    std::string commandLine;  // its passwords masked
};

// A station's claim on its name while it runs: its host and process, renewed as it works.
struct StationLease {
    std::string station;
    std::string hostName;
    std::string process;
};

// How a lease that is not renewed ends: after this long, its station counts as gone.
inline constexpr int kLeaseSeconds = 60;

// Where a line of stations keeps its serial numbers and the record of every run (--db URL).
// A number is taken in one transaction before its board is flashed and is unique by the
// database's own constraint; it ends programmed when its board passed, void otherwise, in the
// same transaction as the board's run row.
class RunDatabase {
public:
    virtual ~RunDatabase() = default;
    // Claims the station's name: refused (StationRunning) while another live station holds it,
    // one whose lease was renewed within kLeaseSeconds and that `gone` does not know to be gone.
    // Then marks void the numbers the station took and never settled (an earlier run of it was
    // killed mid-run) and says how many.
    virtual int StartStation(const StationLease& lease,
                             const std::function<bool(const StationLease& holder)>& gone) = 0;
    // Keeps the claim alive; ends it when the station ends.
    virtual void RenewLease(const StationLease& lease) = 0;
    virtual void EndStation(const StationLease& lease) = 0;
    // The next number of `format`, taken for the board on `port` of `station`.
    virtual std::string Allocate(const SerialFormat& format, const std::string& station,
                                 const std::string& port) = 0;
    // The number a board (by its flash's unique ID) was last programmed with and that is still
    // programmed; nothing when it never passed with one.
    virtual std::optional<std::string> ProgrammedSerial(const std::string& flashUid) = 0;
    // The run's row and, for a board given a new serial number, its settlement (programmed when
    // the run passed, void otherwise) in one transaction; a number the board kept stays as it is. The number must still be allocated to the
    // run's station. `beforeCommit` runs inside the transaction; whatever it or the database
    // throws undoes both, and the number stays allocated. Throws DatabaseError when nothing was
    // written.
    virtual void Record(const RunRecord& record, const RunPlace& place,
                        const std::function<void()>& beforeCommit) = 0;
    virtual std::vector<SerialRow> Serials() = 0;
    // The runs of flash and station, oldest first.
    virtual std::vector<RunRow> Runs(const RunFilter& filter) = 0;
    // The runs of one board, by its flash's unique ID or a serial number it was given, oldest
    // first.
    virtual std::vector<RunRow> BoardRuns(const std::string& board) = 0;
};

// What the database may do: record runs and give numbers, or only be read (report, serials):
// then nothing is written and a missing database is not created.
enum class DatabaseAccess { ReadWrite, ReadOnly };

// Opens (read-write: on first use creates, with its schema) the database the URL names, and
// checks its tables are of this tool's layout. Throws RecordsRefused when it cannot be used,
// its message naming the URL as shown (without a password).
std::unique_ptr<RunDatabase> OpenRunDatabase(const DatabaseUrl& url, DatabaseAccess access,
                                             int timeoutSeconds);

}  // namespace qv
