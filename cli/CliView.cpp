#include "cli/CliView.h"

#include <ostream>

#include "cli/JobOutcome.h"
#include "cli/StopSignal.h"
#include "cli/TerminalView.h"
#include "line/JsonLine.h"

namespace qv::cli {

namespace {

bool IsEraseStep(const std::string& text) {
    return text.starts_with("Flash Erase All") || text.starts_with("Flash Sector Erase");
}

}  // namespace

void CliView::ShowProcessInfo(const std::string& text) {
    const std::string step = TrimmedText(text);
    if (step == lastStep_ || (erasing_ && !lastStep_.empty() && step.starts_with(lastStep_)))
        return;
    lastStep_ = step;
    erasing_ = IsEraseStep(step);
    ShowStep(step);
}

void CliView::ShowSummary(const BatchSummary& summary) {
    out_ << summary.Text() << "\n" << std::flush;
}

void CliView::PumpEvents() {
    if (stopRequested_ != nullptr && StopOnSignal::Requested()) *stopRequested_ = true;
}

void QuietView::ShowResult(const RunRecord& record) {
    out_ << VerdictLine(record) << "\n" << std::flush;
}

void JsonView::ShowStep(const std::string& text) {
    if (!progress_) return;
    lastPercent_ = -1;
    out_ << JsonLine().Add("event", "step").Add("text", text).Text() << "\n" << std::flush;
}

void JsonView::ShowProgress(double fraction) {
    if (!progress_) return;
    const int percent = static_cast<int>(fraction * 100);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    JsonLine line;
    line.Add("event", "progress");
    if (erasing_) {
        line.Add("done", percent).Add("total", 100).Add("unit", "percent");
    } else {
        const auto done = static_cast<std::uint64_t>(fraction * static_cast<double>(totalBytes_));
        line.Add("done", done).Add("total", totalBytes_).Add("unit", "bytes");
    }
    out_ << line.Text() << "\n" << std::flush;
}

void JsonView::ShowSummary(const BatchSummary& summary) {
    out_ << summary.Json() << "\n" << std::flush;
}

void JsonView::ShowResult(const RunRecord& record) {
    out_ << ResultJson(record) << "\n" << std::flush;
}

std::unique_ptr<CliView> MakeView(OutputMode mode, std::ostream& out) {
    switch (mode) {
        case OutputMode::Json:
        case OutputMode::JsonResults:
            return std::make_unique<JsonView>(out, mode == OutputMode::Json);
        case OutputMode::Quiet:
            return std::make_unique<QuietView>(out);
        case OutputMode::Terminal:
            return std::make_unique<TerminalView>(out, true);
        case OutputMode::Lines:
            break;
    }
    return std::make_unique<TerminalView>(out, false);
}

}  // namespace qv::cli
