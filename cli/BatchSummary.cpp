#include "cli/BatchSummary.h"

#include <cmath>

#include "isp/JobResult.h"
#include "line/JsonLine.h"

namespace qv::cli {
namespace {

constexpr std::uint64_t kFirstRateMs = 60'000;
constexpr unsigned kFirstRateVerdicts = 2;

}  // namespace

void BatchSummary::Count(const RunRecord& record) {
    if (record.failure == KindName(FailureKind::Stopped) && !record.ok) {
        ++stopped;
        return;
    }
    ++(record.ok ? passed : failed);
    const std::string& board = record.flashUid.empty() ? record.serial : record.flashUid;
    if (board.empty() || boardsSeen_.insert(board).second) {
        ++boards;
        if (record.ok) ++firstPassed;
    }
}

std::optional<double> BatchSummary::FirstPassYield() const {
    if (boards == 0) return std::nullopt;
    return static_cast<double>(firstPassed) / boards;
}

std::optional<double> BatchSummary::BoardsPerHour() const {
    if (workedMs < kFirstRateMs || Judged() < kFirstRateVerdicts) return std::nullopt;
    return Judged() * 3'600'000.0 / static_cast<double>(workedMs);
}

std::string BatchSummary::Text() const {
    std::string text = "passed " + std::to_string(passed) + ", failed " + std::to_string(failed);
    if (stopped > 0) text += ", stopped " + std::to_string(stopped);
    if (const auto rate = BoardsPerHour())
        text += ", " + std::to_string(std::lround(*rate)) + " boards per hour";
    return text;
}

std::string BatchSummary::Json() const {
    JsonLine line;
    line.Add("event", "summary").Add("passed", passed).Add("failed", failed).Add("stopped", stopped);
    line.Add("boards_per_hour", BoardsPerHour().value_or(NAN), 0);  // null before a rate
    return line.Text();
}

}  // namespace qv::cli
