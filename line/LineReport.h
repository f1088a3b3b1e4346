#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "line/RunDatabase.h"

namespace qv {

// What a supervisor reads of a production line: per station, port and firmware (and in
// subtotals per station and per UTC day), the boards, their yield and rate, and the steps that
// failed them.
struct ReportGroup {
    std::string day;  // "2026-12-07" in a day's subtotal, else empty
    std::string station;
    std::string port;
    std::string slot;      // the fixture's slot the port was, when a job named it
    std::string firmware;  // the file's SHA-256
    std::string file;      // the name it was last flashed under
    std::uint64_t runs = 0;
    std::uint64_t passed = 0;
    std::uint64_t failed = 0;
    std::uint64_t boards = 0;            // distinct boards (see LineReport)
    std::uint64_t passedFirstTime = 0;   // boards whose first run passed
    std::optional<double> boardsPerHour;  // none before two runs over some time
};

// The failed runs of one failure kind ("verify_failed"), with the message of the latest as an
// example of where and how.
struct FailingStep {
    std::string kind;
    std::uint64_t count = 0;
    std::string latest;
};

// Passed and failed runs that ended in one UTC hour ("2026-12-07T22").
struct HourYield {
    std::string hour;
    std::uint64_t passed = 0;
    std::uint64_t failed = 0;
};

// A board is told apart by its flash's unique ID, else its serial number, else each run is a
// board of its own; its first run decides the first-pass yield.
struct LineReport {
    std::vector<ReportGroup> groups;
    std::vector<ReportGroup> stations;      // a subtotal per station (port, firmware empty)
    std::vector<ReportGroup> days;          // a subtotal per UTC day, oldest first
    std::vector<FailingStep> failingSteps;  // most first
    std::vector<HourYield> hours;           // oldest first
    ReportGroup total;                      // every run, station and port empty
};

LineReport Summarize(const std::vector<RunRow>& runs);

// The report as text, as JSON Lines ("report_group", "report_total", "report_station",
// "report_day", "failing_step", "hour")
// and as one self-contained HTML page with inline SVG charts.
std::string ReportText(const LineReport& report);
std::string ReportJson(const LineReport& report);
std::string ReportHtml(const LineReport& report);
// One CSV row per run (RFC 4180, a header row first) for spreadsheets and MES imports: time,
// station, port, firmware, file, result, failure, message, serial, flash_uid, slot. A cell that a
// spreadsheet would take for a formula (=, +, -, @ first) is written with a ' before it.
std::string RunsCsv(const std::vector<RunRow>& runs);

}  // namespace qv
