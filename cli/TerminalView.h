#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "isp/IspView.h"

namespace qv::cli {

// Shows the flash jobs' progress: on a terminal one bar that redraws itself (bytes done, total,
// rate, time left) under the step texts; otherwise one plain line per step, with the same texts
// as the window (the growing dots of an erase collapse into one line).
class TerminalView : public IspView {
public:
    TerminalView(std::ostream& out, bool isTerminal);
    ~TerminalView() override;

    // The byte count the progress fraction refers to, for the bar's figures.
    void SetTotalBytes(std::uint64_t totalBytes) { totalBytes_ = totalBytes; }
    const std::string& LastProcessInfo() const { return lastInfo_; }
    const std::string& LastMessage() const { return lastMessage_; }
    // Raises the job's stop flag from PumpEvents once a signal asked for a stop.
    void WatchStop(bool& stopRequested) { stopRequested_ = &stopRequested; }

    void ShowProcessInfo(const std::string& text) override;
    void ShowProcessAddress(const std::string& text) override;
    void ShowStatusRegister(const std::string& text) override;
    void ShowProgress(double fraction) override;
    void ShowChecksum(const std::string& text) override;
    void PumpEvents() override;
    void ShowMessage(const std::string& text) override;

private:
    void Line(const std::string& text);
    void DrawBar();
    void EndBar();

    std::ostream& out_;
    const bool isTerminal_;
    bool* stopRequested_ = nullptr;
    std::uint64_t totalBytes_ = 0;
    double fraction_ = 0;
    bool barShown_ = false;
    std::string lastInfo_;
    std::string lastLine_;
    std::string lastMessage_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace qv::cli
