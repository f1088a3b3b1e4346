#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "cli/BatchSummary.h"
#include "isp/IspView.h"
#include "line/RunRecord.h"

namespace qv::cli {

// How a run reports: a bar on a terminal, plain lines otherwise, JSON Lines (with -q only the
// results), or only the verdict. Chosen once per run (OutputChoice); the jobs report through
// the IspView side, and the run ends with ShowResult.
enum class OutputMode { Terminal, Lines, Json, JsonResults, Quiet };

// Whether standard output is JSON Lines, with or without the steps and progress.
inline bool IsJson(OutputMode mode) {
    return mode == OutputMode::Json || mode == OutputMode::JsonResults;
}

// What every output mode shares: the byte count progress refers to, and the stop request
// raised by a signal. A run's outcome is not read from here: the jobs return it.
class CliView : public IspView {
public:
    explicit CliView(std::ostream& out) : out_(out) {}

    // The byte count the progress fraction refers to, for the figures shown.
    void SetTotalBytes(std::uint64_t totalBytes) { totalBytes_ = totalBytes; }
    // Raises the job's stop flag from PumpEvents once a signal asked for a stop.
    void WatchStop(bool& stopRequested) { stopRequested_ = &stopRequested; }

    // One step for each step: its text trimmed (see TrimmedText), and an erase's growing
    // caption or its next sector's not taken for a new step.
    void ShowProcessInfo(const std::string& text) override;
    void ShowProcessAddress(const std::string&) override {}
    void ShowStatusRegister(const std::string&) override {}
    void PumpEvents() override;
    // A refusal's message: the job's result carries it to the verdict and the error line.
    void ShowMessage(const std::string&, const std::string&) override {}

    // The end of the run on one device: its verdict in this mode's form.
    virtual void ShowResult(const RunRecord& record) = 0;
    // The end of a batch of boards (a station, flash --all): the summary line.
    virtual void ShowSummary(const BatchSummary& summary);

protected:
    // A step's text, as this mode shows it.
    virtual void ShowStep(const std::string& text) = 0;

    std::ostream& out_;
    std::uint64_t totalBytes_ = 0;
    // The running step is an erase: its progress is a share of the part's usual erase time,
    // not of bytes.
    bool erasing_ = false;

private:
    bool* stopRequested_ = nullptr;
    std::string lastStep_;
};

// Only the verdict lines (and, as everywhere, errors on standard error).
class QuietView : public CliView {
public:
    using CliView::CliView;
    void ShowProgress(double) override {}
    void ShowChecksum(const std::string&) override {}
    void ShowResult(const RunRecord& record) override;
    void ShowSummary(const BatchSummary&) override {}

protected:
    void ShowStep(const std::string&) override {}
};

// JSON Lines: {"event":"step","text":...} once per step, {"event":"progress","done":...,
// "total":...,"unit":"bytes"} at most once per percent (for an erase, "unit":"percent" of the
// part's usual erase time), the result object, and a batch's {"event":"summary",...}.
class JsonView : public CliView {
public:
    // Without `progress` (-q) only the results and the summary are written.
    JsonView(std::ostream& out, bool progress) : CliView(out), progress_(progress) {}
    void ShowProgress(double fraction) override;
    void ShowChecksum(const std::string&) override {}
    void ShowResult(const RunRecord& record) override;
    void ShowSummary(const BatchSummary& summary) override;

protected:
    void ShowStep(const std::string& text) override;

private:
    const bool progress_;
    int lastPercent_ = -1;
};

std::unique_ptr<CliView> MakeView(OutputMode mode, std::ostream& out);

}  // namespace qv::cli
