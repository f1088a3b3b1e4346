#include "cli/CliView.h"

#include <ostream>

#include "cli/JsonLine.h"
#include "cli/StopSignal.h"
#include "cli/TerminalView.h"

namespace qv::cli {

void CliView::ShowProcessInfo(const std::string& text) { ShowStep(text); }

void CliView::PumpEvents() {
    if (stopRequested_ != nullptr && StopOnSignal::Requested()) *stopRequested_ = true;
}

void QuietView::ShowResult(const RunRecord& record) {
    out_ << VerdictLine(record) << "\n" << std::flush;
}

void JsonView::ShowStep(const std::string& text) {
    lastPercent_ = -1;
    out_ << JsonLine().Add("event", "step").Add("text", text).Text() << "\n" << std::flush;
}

void JsonView::ShowProgress(double fraction) {
    const int percent = static_cast<int>(fraction * 100);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    const auto done = static_cast<std::uint64_t>(fraction * static_cast<double>(totalBytes_));
    out_ << JsonLine().Add("event", "progress").Add("done", done).Add("total", totalBytes_).Text()
         << "\n"
         << std::flush;
}

void JsonView::ShowResult(const RunRecord& record) {
    out_ << ResultJson(record) << "\n" << std::flush;
}

std::unique_ptr<CliView> MakeView(OutputMode mode, std::ostream& out) {
    switch (mode) {
        case OutputMode::Json:
            return std::make_unique<JsonView>(out);
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
