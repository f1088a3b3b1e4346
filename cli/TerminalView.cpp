#include "cli/TerminalView.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/TerminalWidth.h"

namespace qv::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// A rate from less time than this is mostly noise: none is shown before.
constexpr double kFirstRateSeconds = 1.0;

std::string WithoutTrailingDots(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text;
}

bool IsEraseStep(const std::string& text) {
    return text.rfind("Flash Erase All", 0) == 0 || text.rfind("Flash Sector Erase", 0) == 0;
}

}  // namespace

TerminalView::TerminalView(std::ostream& out, bool isTerminal)
    : CliView(out), isTerminal_(isTerminal) {}

TerminalView::~TerminalView() { EndBar(); }

void TerminalView::Line(const std::string& text) {
    const std::string key = WithoutTrailingDots(text);
    if (key == lastLine_) return;
    lastLine_ = key;
    EndBar();
    out_ << text << "\n" << std::flush;
}

void TerminalView::ShowStep(const std::string& text) {
    erasing_ = IsEraseStep(text);
    Line(text);
}

void TerminalView::ShowChecksum(const std::string& text) { Line(text); }

void TerminalView::ShowResult(const RunRecord& record) {
    EndBar();
    out_ << VerdictLine(record) << "\n" << std::flush;
}

void TerminalView::ShowProgress(double fraction) {
    fraction_ = std::clamp(fraction, 0.0, 1.0);
    if (!isTerminal_) return;
    const auto now = std::chrono::steady_clock::now();
    if (barShown_ && now - lastDraw_ < kRedrawInterval && fraction_ < 1.0) return;
    lastDraw_ = now;
    DrawBar();
}

// "42% 27648/65790 bytes 12.3 KiB/s 3 s left", or for an erase "erasing 42%, 3 s".
std::string TerminalView::Figures(double seconds) const {
    char text[96];
    if (erasing_) {
        std::snprintf(text, sizeof text, " %3.0f%% erasing, %.0f s", fraction_ * 100, seconds);
        return text;
    }
    if (totalBytes_ == 0) {
        std::snprintf(text, sizeof text, " %3.0f%%", fraction_ * 100);
        return text;
    }
    const double done = fraction_ * static_cast<double>(totalBytes_);
    if (seconds < kFirstRateSeconds || done <= 0) {
        std::snprintf(text, sizeof text, " %3.0f%% %.0f/%llu bytes", fraction_ * 100, done,
                      static_cast<unsigned long long>(totalBytes_));
        return text;
    }
    const double rate = done / seconds;
    std::snprintf(text, sizeof text, " %3.0f%% %.0f/%llu bytes %.1f KiB/s %.0f s left",
                  fraction_ * 100, done, static_cast<unsigned long long>(totalBytes_), rate / 1024,
                  (static_cast<double>(totalBytes_) - done) / rate);
    return text;
}

// The bar and its figures stay one column short of the terminal's width, so the line never
// wraps and the carriage return always finds its start.
void TerminalView::DrawBar() {
    if (!barShown_) started_ = std::chrono::steady_clock::now();
    barShown_ = true;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    std::string figures = Figures(seconds);
    const int columns = TerminalColumns();
    const int barWidth = std::clamp(columns - 3 - static_cast<int>(figures.size()), 0, 40);
    const int filled = static_cast<int>(fraction_ * barWidth + 0.5);
    std::string line = "[" + std::string(filled, '#') + std::string(barWidth - filled, ' ') + "]" +
                       figures;
    line.resize(std::min<std::size_t>(line.size(), static_cast<std::size_t>(columns - 1)));
    out_ << "\r" << line << "\x1b[K" << std::flush;
}

void TerminalView::EndBar() {
    if (!barShown_) return;
    barShown_ = false;
    out_ << "\r\x1b[K" << std::flush;
}

}  // namespace qv::cli
