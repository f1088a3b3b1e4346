#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cli/CliView.h"

namespace qv::cli {

// The text views: on a terminal, one bar that redraws itself under the step texts (bytes done
// of the image, rate, time left; an erase shows its own share done instead of bytes), fitted to
// the terminal's width; otherwise one plain line per step, with the same texts as the window
// (the growing dots of an erase collapse into one line). Both end with the verdict line.
class TerminalView : public CliView {
public:
    TerminalView(std::ostream& out, bool isTerminal);
    ~TerminalView() override;

    void ShowProgress(double fraction) override;
    void ShowChecksum(const std::string& text) override;
    void ShowResult(const RunRecord& record) override;

protected:
    void ShowStep(const std::string& text) override;

private:
    void Line(const std::string& text);
    void DrawBar();
    void EndBar();
    std::vector<std::string> Figures(double seconds) const;

    const bool isTerminal_;
    double fraction_ = 0;
    bool barShown_ = false;
    std::string lastLine_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace qv::cli
