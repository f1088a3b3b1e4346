#include "cli/TerminalView.h"

#include <cstdio>
#include <ostream>

#include "cli/StopSignal.h"

namespace qv::cli {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string WithoutTrailingDots(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

TerminalView::TerminalView(std::ostream& out, bool isTerminal)
    : out_(out), isTerminal_(isTerminal) {}

TerminalView::~TerminalView() { EndBar(); }

void TerminalView::Line(const std::string& text) {
    const std::string key = WithoutTrailingDots(text);
    if (key == lastLine_) return;
    lastLine_ = key;
    EndBar();
    out_ << text << "\n" << std::flush;
}

void TerminalView::ShowProcessInfo(const std::string& text) {
    lastInfo_ = text;
    Line(text);
}

void TerminalView::ShowProcessAddress(const std::string&) {}
void TerminalView::ShowStatusRegister(const std::string&) {}

void TerminalView::ShowChecksum(const std::string& text) { Line(text); }

void TerminalView::PumpEvents() {
    if (stopRequested_ != nullptr && StopOnSignal::Requested()) *stopRequested_ = true;
}

void TerminalView::ShowMessage(const std::string& text) { lastMessage_ = text; }

void TerminalView::ShowProgress(double fraction) {
    fraction_ = fraction;
    if (!isTerminal_) return;
    const auto now = std::chrono::steady_clock::now();
    if (barShown_ && now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    DrawBar();
}

void TerminalView::DrawBar() {
    if (!barShown_) started_ = std::chrono::steady_clock::now();
    barShown_ = true;
    const int filled = static_cast<int>(fraction_ * kBarWidth + 0.5);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const double done = fraction_ * static_cast<double>(totalBytes_);
    const double rate = seconds > 0 ? done / seconds : 0;
    const double left = rate > 0 ? (static_cast<double>(totalBytes_) - done) / rate : 0;
    char figures[96];
    std::snprintf(figures, sizeof figures, " %3.0f%% %.0f/%llu bytes %.1f KiB/s %.0f s left",
                  fraction_ * 100, done, static_cast<unsigned long long>(totalBytes_), rate / 1024,
                  left);
    out_ << "\r[" << std::string(filled, '#') << std::string(kBarWidth - filled, ' ') << "]"
         << figures << "\x1b[K" << std::flush;
}

void TerminalView::EndBar() {
    if (!barShown_) return;
    barShown_ = false;
    out_ << "\r\x1b[K" << std::flush;
}

}  // namespace qv::cli
