#include "cli/TerminalView.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <vector>

#include "cli/TerminalWidth.h"

namespace qv::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// A rate from less time than this is mostly noise: none is shown before.
constexpr double kFirstRateSeconds = 1.0;

}  // namespace

TerminalView::TerminalView(std::ostream& out, bool isTerminal)
    : CliView(out), isTerminal_(isTerminal) {}

TerminalView::~TerminalView() { EndBar(); }

void TerminalView::Line(const std::string& text) {
    if (text == lastLine_) return;
    lastLine_ = text;
    EndBar();
    out_ << text << "\n" << std::flush;
}

void TerminalView::ShowStep(const std::string& text) { Line(text); }

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

// The figures, fullest first, each next one without what matters least: "42% 27648/65790
// bytes 12.3 KiB/s 3 s left", then without the rate and time left, then the share alone; for an
// erase "42% erasing, 3 s", then the share alone.
std::vector<std::string> TerminalView::Figures(double seconds) const {
    const auto format = [](const char* pattern, auto... values) {
        char text[96];
        std::snprintf(text, sizeof text, pattern, values...);
        return std::string(text);
    };
    const std::string share = format(" %3.0f%%", fraction_ * 100);
    if (erasing_) return {format(" %3.0f%% erasing, %.0f s", fraction_ * 100, seconds), share};
    if (totalBytes_ == 0) return {share};
    const double done = fraction_ * static_cast<double>(totalBytes_);
    const auto total = static_cast<unsigned long long>(totalBytes_);
    const std::string bytes = format(" %3.0f%% %.0f/%llu bytes", fraction_ * 100, done, total);
    if (seconds < kFirstRateSeconds || done <= 0) return {bytes, share};
    const double rate = done / seconds;
    return {format(" %3.0f%% %.0f/%llu bytes %.1f KiB/s %.0f s left", fraction_ * 100, done, total,
                   rate / 1024, (static_cast<double>(totalBytes_) - done) / rate),
            bytes, share};
}

// The bar and its figures stay one column short of the terminal's width, so the line never
// wraps and the carriage return always finds its start. Figures that do not fit drop their
// least useful part before any number is cut.
void TerminalView::DrawBar() {
    if (!barShown_) started_ = std::chrono::steady_clock::now();
    barShown_ = true;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const int columns = TerminalColumns();
    const std::vector<std::string> choices = Figures(seconds);
    const auto fits = [&](const std::string& figures) {
        return static_cast<int>(figures.size()) + 3 <= columns;
    };
    const std::string& figures = *std::find_if(choices.begin(), choices.end() - 1, fits);
    const int barWidth = std::clamp(columns - 3 - static_cast<int>(figures.size()), 0, 40);
    const int filled = static_cast<int>(fraction_ * barWidth + 0.5);
    out_ << "\r"
         << FitToTerminal("[" + std::string(filled, '#') + std::string(barWidth - filled, ' ') +
                          "]" + figures)
         << "\x1b[K" << std::flush;
}

void TerminalView::EndBar() {
    if (!barShown_) return;
    barShown_ = false;
    out_ << "\r\x1b[K" << std::flush;
}

}  // namespace qv::cli

namespace qv::cli {

std::string FitToTerminal(std::string line) {
    const auto isContinuation = [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; };
    const int room = TerminalColumns() - 1;
    int shown = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (isContinuation(line[i])) continue;
        if (shown++ == room) {
            line.resize(i);
            break;
        }
    }
    return line;
}

}  // namespace qv::cli
