#pragma once

#include <iosfwd>
#include <memory>

#include "cli/AuditLog.h"
#include "cli/CliView.h"

namespace qv::cli {

// How this qvusb run reports, chosen once from its options: the output mode, where standard
// output really goes (with --json, whatever else a command prints is collected instead), the
// audit log, and whether a result has been given yet.
struct Reporting {
    OutputMode mode = OutputMode::Lines;
    std::ostream* out = nullptr;
    std::unique_ptr<AuditLog> log;
    bool resultShown = false;

    std::unique_ptr<CliView> NewView() const { return MakeView(mode, *out); }
    // The end of a run on one device: the view's verdict and the log's line, from one record.
    void Finish(CliView& view, const RunRecord& record) {
        view.ShowResult(record);
        if (log) log->Append(record);
        resultShown = true;
    }
};

}  // namespace qv::cli
