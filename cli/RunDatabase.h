#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/RunRecord.h"
#include "cli/SerialFormat.h"

namespace qv::cli {

// A database that could not do what was asked: the connection, the statement and why.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
    std::string failingStep;
    std::string serial;
    std::string flashUid;
};

// Which runs a report covers: from a date or time on (UTC, "2026-12-07" or longer), of one
// station; empty: all.
struct RunFilter {
    std::string since;
    std::string station;
};

// Where a line of stations keeps its serial numbers and the record of every run (--db URL).
// A number is taken in one transaction before its board is flashed and is unique by the
// database's own constraint; it ends programmed when its board passed, void otherwise.
class RunDatabase {
public:
    virtual ~RunDatabase() = default;
    // Marks void the numbers `station` took and never settled (it was killed mid-run); how many.
    virtual int VoidUnsettled(const std::string& station) = 0;
    // The next number of `format`, taken for the board on `port` of `station`.
    virtual std::string Allocate(const SerialFormat& format, const std::string& station,
                                 const std::string& port) = 0;
    virtual void Settle(const std::string& serial, bool programmed) = 0;
    // The run's row, with the fields of the log's line; throws DatabaseError when not written.
    virtual void AddRun(const RunRecord& record, const std::string& station,
                        const std::string& utcTime, const std::string& hostName,
                        const std::string& commandLine) = 0;
    virtual std::vector<SerialRow> Serials() = 0;
    // The runs of flash and station, oldest first.
    virtual std::vector<RunRow> Runs(const RunFilter& filter) = 0;
};

// Opens (and on first use creates, with its schema) the database a URL names: sqlite:PATH.
// Throws BadInput when it cannot be opened or the URL is not one the build knows.
std::unique_ptr<RunDatabase> OpenRunDatabase(const std::string& url);

}  // namespace qv::cli
