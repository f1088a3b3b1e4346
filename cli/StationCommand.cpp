#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/FlashOptions.h"
#include "cli/JobOutcome.h"
#include "cli/Reporting.h"
#include "cli/StopSignal.h"
#include "image/ProgramFileCheck.h"
#include "image/RangeChoice.h"
#include "isp/Station.h"

namespace qv::cli {
namespace {

struct StationArguments {
    FlashArguments flash;
    unsigned units = 0;
    unsigned slots = 0;
};

const char* StateText(SlotSnapshot::State state) {
    switch (state) {
        case SlotSnapshot::State::Waiting:
            return "waiting";
        case SlotSnapshot::State::Queued:
            return "queued";
        case SlotSnapshot::State::Flashing:
            return "flashing";
        case SlotSnapshot::State::Passed:
            return "PASS";
        case SlotSnapshot::State::Failed:
            break;
    }
    return "FAIL";
}

// The station on the command line: a verdict (and a log line) per board as it is judged and,
// on a terminal, a live block under them: a line per port and the summary.
class StationScreen : public StationFront {
public:
    StationScreen(Reporting& reporting, RunRecord fileRecord, DeviceHost& host)
        : reporting_(reporting),
          view_(reporting.NewView()),
          fileRecord_(std::move(fileRecord)),
          host_(host),
          live_(reporting.mode == OutputMode::Terminal) {}

    void BoardJudged(const StationBoard& board) override {
        ClearLive();
        RunRecord record = fileRecord_;
        record.device = board.selector;
        record.devicePath = board.run.target.path;
        record.chipId = ChipIdText(board.run.chipId);
        RecordResult(record, board.run.result);
        record.seconds = board.run.seconds;
        reporting_.Finish(*view_, record);
        (record.ok ? passed_ : failed_) += 1;
    }

    void Show(const std::vector<SlotSnapshot>& slots) override {
        if (!live_) return;
        ClearLive();
        for (const SlotSnapshot& slot : slots) {
            char progress[16] = "";
            if (slot.state == SlotSnapshot::State::Flashing)
                std::snprintf(progress, sizeof progress, " %3.0f%%", slot.progress * 100);
            char seconds[16];
            std::snprintf(seconds, sizeof seconds, "%.1f s", slot.seconds);
            std::cout << slot.selector << "  " << StateText(slot.state) << progress << "  "
                      << slot.text << "  " << seconds << "\x1b[K\n";
        }
        std::cout << Summary() << "\x1b[K\n" << std::flush;
        liveLines_ = slots.size() + 1;
    }

    bool StopRequested() override { return StopOnSignal::Requested(); }

    // "passed 11, failed 1, 412 boards per hour"
    std::string Summary() const {
        const double hours = static_cast<double>(host_.NowMs() - startedMs_) / 3'600'000;
        const double rate = hours > 0 ? (passed_ + failed_) / hours : 0;
        char text[96];
        std::snprintf(text, sizeof text, "passed %u, failed %u, %.0f boards per hour", passed_,
                      failed_, rate);
        return text;
    }
    unsigned Failed() const { return failed_; }
    unsigned Judged() const { return passed_ + failed_; }

private:
    void ClearLive() {
        if (liveLines_ == 0) return;
        std::cout << "\x1b[" << liveLines_ << "F\x1b[J" << std::flush;
        liveLines_ = 0;
    }

    Reporting& reporting_;
    std::unique_ptr<CliView> view_;
    RunRecord fileRecord_;
    DeviceHost& host_;
    const bool live_;
    std::size_t liveLines_ = 0;
    unsigned passed_ = 0;
    unsigned failed_ = 0;
    std::uint64_t startedMs_ = host_.NowMs();
};

void RunStationCommand(Session& session, const GlobalOptions& options,
                       const StationArguments& args) {
    const RangeArgument range = ParseRange(args.flash.range);
    const ProgramFileRead read = ReadProgramFileOnce(args.flash.file);
    if (read.problem) throw BadInput(*read.problem);
    ProgramFile image;
    UseImage(image, args.flash.file, read.content);
    ApplyRangeChoice(image, range.wholeFlash, range.startText, range.sizeText);

    RunRecord fileRecord;
    fileRecord.command = "station";
    fileRecord.range = args.flash.range;
    DescribeFile(fileRecord, args.flash.file, read.content);
    StationScreen screen(*options.reporting, fileRecord, session.Host());
    StationSettings settings{RequestFrom(args.flash, range), args.slots, args.units};
    {
        StopOnSignal stopOnSignal;
        RunStation(session.Host(), session.UserDeviceMatch(), image, settings, screen);
    }
    if (options.reporting->mode != OutputMode::Json) std::cout << screen.Summary() << "\n";
    if (screen.Failed() > 0)
        throw OperationFailed(std::to_string(screen.Failed()) + " of " +
                              std::to_string(screen.Judged()) + " boards failed");
    options.reporting->resultShown = true;
}

}  // namespace

void AddStationCommand(CLI::App& app, const GlobalOptions& options) {
    auto args = std::make_shared<StationArguments>();
    auto* station = app.add_subcommand(
        "station", "Flash and judge every board plugged in, on every port, until Ctrl-C or --units");
    station->add_option("file", args->flash.file, "A .bin or .h00 program file")->required();
    AddSequenceOptions(station, args->flash);
    station->add_option("--units", args->units, "End after this many boards were judged");
    station->add_option("--slots", args->slots, "Flash at most this many boards at once");
    station->callback([&options, args] {
        WithSession(options, [&](Session& session) { RunStationCommand(session, options, *args); });
    });
}

}  // namespace qv::cli
