#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "line/RunRecord.h"

namespace qv::cli {

// What a batch of boards (a station, or flash --all) came to. Stopped boards were neither
// passed nor failed: they are counted apart and left out of the rate, and so are the first
// minute and a lone verdict, from which a rate would be noise.
struct BatchSummary {
    unsigned passed = 0;
    unsigned failed = 0;
    unsigned stopped = 0;
    std::uint64_t workedMs = 0;  // from the batch's start to now, on the host's clock
    // Boards judged, each once (known by its flash's unique ID, else its serial number), and
    // those of them whose first verdict was PASS.
    unsigned boards = 0;
    unsigned firstPassed = 0;

    void Count(const RunRecord& record);
    unsigned Judged() const { return passed + failed; }
    // Boards judged per hour; nothing before a minute of work or before the second verdict.
    std::optional<double> BoardsPerHour() const;
    // The share of boards that passed at their first verdict; nothing before a verdict.
    std::optional<double> FirstPassYield() const;
    // "passed 11, failed 1, stopped 1, 412 boards per hour" (stopped and the rate when there
    // are any).
    std::string Text() const;
    // {"event":"summary","passed":...,"failed":...,"stopped":...,"boards_per_hour":... or null}
    std::string Json() const;

private:
    std::set<std::string> boardsSeen_;
};

}  // namespace qv::cli
