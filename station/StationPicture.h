#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/SlotLearning.h"
#include "cli/StationRun.h"
#include "line/JobFile.h"

// What the station window shows, kept apart from Qt: the station's threads write into it and
// the window takes a copy when it paints, so a board never waits for the screen.

// A fixture slot's tile.
struct Tile {
    enum class State { Waiting, Flashing, Recording, Passed, Failed };
    std::string label;  // the slot's label; the port when the job's slot map names none
    std::string port;
    State state = State::Waiting;
    std::string text;    // the running step, or the failure's cause
    double progress = 0;
    std::string serial;  // the board's serial number, once recorded
    double seconds = 0;

    bool operator==(const Tile&) const = default;
};

struct Picture {
    std::vector<Tile> tiles;
    qv::cli::LineState sinceStart;
    qv::cli::BatchSummary sinceJobOpened;
    std::deque<std::string> lastVerdicts;  // newest first
    bool running = false;
    std::string problem;  // why the line could not start or ended early
    std::string prompt;   // what the operator is asked to do while the slots are learned
    unsigned jobsWritten = 0;  // times the slots learned were written into the job
};

class StationPicture : public qv::cli::StationDisplay, public qv::cli::SlotLearningFront {
public:
    static constexpr std::size_t kVerdictsKept = 12;

    // A job's slots are its tiles from the start, in the job's order; any other port gets one
    // when a board appears on it. The counters since the job was opened start again.
    void OpenJob(const std::vector<qv::JobSlot>& fixtureSlots);
    // A line starts: its counters begin at nothing, the stop request is cleared.
    void Started();
    // The line ended, with the reason when it did not end by itself or by a stop.
    void Ended(const std::string& problem);
    void RequestStop() { stopRequested_ = true; }

    void ShowPorts(const std::vector<qv::cli::PortView>& ports,
                   const qv::cli::LineState& state) override;
    void ShowVerdict(const qv::RunRecord& record, const qv::cli::LineState& state) override;
    bool StopRequested() override { return stopRequested_; }

    // Learning the slots: the operator's prompt, and a tile for each slot learned.
    void Ask(const std::string& label) override;
    void Learned(const qv::JobSlot& slot) override;
    void SeveralBoards(const std::string& label) override;
    void JobWritten();

    // A copy of the picture when it changed since `seen`, which is moved on.
    std::optional<Picture> TakeIfChanged(std::uint64_t& seen) const;

private:
    Tile& TileOf(const std::string& port, const std::string& label);
    void Changed() { ++version_; }

    mutable std::mutex mutex_;
    Picture picture_;
    // Worked time of the lines ended since the job was opened.
    std::uint64_t endedLinesMs_ = 0;
    std::uint64_t version_ = 1;
    std::atomic<bool> stopRequested_ = false;
};
