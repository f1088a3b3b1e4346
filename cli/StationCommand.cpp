#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/FlashOptions.h"
#include "cli/JobOutcome.h"
#include "cli/Reporting.h"
#include "cli/SerialNumbers.h"
#include "cli/StationRecorder.h"
#include "cli/StopSignal.h"
#include "cli/TerminalWidth.h"
#include "image/ProgramFileCheck.h"
#include "image/RangeChoice.h"
#include "device/host/InterfacePath.h"
#include "isp/Station.h"
#include "line/HostName.h"
#include "line/StationClaim.h"

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
// on a terminal, a live block under them: a line per port and the summary. A port the job's
// slot map names is shown and recorded with its slot.
class StationScreen : public StationFront {
public:
    StationScreen(Reporting& reporting, RunRecord fileRecord, DeviceHost& host,
                  std::vector<JobSlot> fixtureSlots)
        : reporting_(reporting),
          view_(reporting.NewView()),
          fileRecord_(std::move(fileRecord)),
          host_(host),
          live_(reporting.mode == OutputMode::Terminal),
          fixtureSlots_(std::move(fixtureSlots)) {}

    void BoardJudged(const StationBoard& board) override {
        RunRecord record = fileRecord_;
        record.device = board.selector;
        record.slot = SlotOf(board.selector);
        record.devicePath = board.run.target.path;
        record.chipId = ChipIdText(board.run.chipId);
        record.flashUid = UniqueIdText(board.run.uniqueId);
        record.serial = board.serial;
        record.serialKept = board.serialKept;
        record.checksum = board.checksum;
        RecordResult(record, board.run.result);
        record.seconds = board.run.seconds;
        reporting_.Complete(record);
        recorder_->Add(std::move(record));
    }

    // Where judged boards are recorded; set before the station starts.
    void RecordWith(StationRecorder& recorder) { recorder_ = &recorder; }

    // A written record's verdict, from the recorder's thread.
    void ShowVerdict(RunRecord& record) {
        std::lock_guard lock(screenMutex_);
        ClearLive();
        reporting_.Show(*view_, record);
        summary_.Count(record);
    }

    void Show(const std::vector<SlotSnapshot>& slots) override {
        if (!live_) return;
        std::lock_guard lock(screenMutex_);
        ClearLive();
        for (const SlotSnapshot& slot : slots) {
            char progress[16] = "";
            if (slot.state == SlotSnapshot::State::Flashing)
                std::snprintf(progress, sizeof progress, " %3.0f%%", slot.progress * 100);
            char seconds[16];
            std::snprintf(seconds, sizeof seconds, "%.1f s", slot.seconds);
            const std::string label = SlotOf(slot.selector);
            std::cout << FitToTerminal(slot.selector + (label.empty() ? "" : " [" + label + "]") +
                                       "  " + StateText(slot.state) + progress + "  " +
                                       TrimmedText(slot.text) + "  " + seconds)
                      << "\x1b[K\n";
        }
        liveLines_ = slots.size() + 1;
        if (recorder_->DatabaseAway()) {
            const std::size_t waiting = recorder_->Waiting();
            std::cout << FitToTerminal(std::to_string(waiting) + " judged board" +
                                       (waiting == 1 ? "" : "s") + " waiting for the database")
                      << "\x1b[K\n";
            ++liveLines_;
        }
        std::cout << FitToTerminal(SummaryLocked().Text()) << "\x1b[K\n" << std::flush;
    }

    bool StopRequested() override { return StopOnSignal::Requested(); }

    BatchSummary Summary() const {
        std::lock_guard lock(screenMutex_);
        return SummaryLocked();
    }
    // The summary's line, or event, once the station has ended.
    void ShowSummary() { view_->ShowSummary(Summary()); }

private:
    std::string SlotOf(const std::string& port) const {
        for (const JobSlot& slot : fixtureSlots_)
            if (slot.port == port) return slot.label;
        return {};
    }

    BatchSummary SummaryLocked() const {
        BatchSummary summary = summary_;
        summary.workedMs = host_.NowMs() - startedMs_;
        return summary;
    }

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
    const std::vector<JobSlot> fixtureSlots_;
    std::size_t liveLines_ = 0;
    BatchSummary summary_;
    std::uint64_t startedMs_ = host_.NowMs();
    StationRecorder* recorder_ = nullptr;
    // The verdicts (the recorder's thread) and the live block (the station's) share the screen.
    mutable std::mutex screenMutex_;
};

// With --db, the station holds its name in the database while it runs; the numbers an earlier,
// killed run of it left allocated become void, which it says on standard error.
std::unique_ptr<StationClaim> ClaimStation(const Reporting& reporting) {
    if (!reporting.database) return nullptr;
    std::unique_ptr<StationClaim> claim;
    try {
        claim = std::make_unique<StationClaim>(
            *reporting.database, StationLease{reporting.station, HostName(), ProcessId()});
    } catch (const DatabaseError& error) {
        throw BadInput(std::string("Cannot use the database: ") + error.what());
    }
    if (const int voided = claim->Voided(); voided > 0)
        std::cerr << "qvusb: " << voided << " serial number" << (voided == 1 ? "" : "s")
                  << " station " << reporting.station
                  << " took in an earlier run and never settled " << (voided == 1 ? "is" : "are")
                  << " void now\n";
    return claim;
}

void RunStationCommand(Session& session, const GlobalOptions& options,
                       StationArguments args) {
    if (options.job) args.flash = FlashArgumentsOf(*options.job);
    const RangeArgument range = ParseRange(args.flash.range);
    const ProgramFileRead read = ReadProgramFileOnce(args.flash.file);
    if (read.problem) throw BadInput(*read.problem);
    ProgramFile image;
    UseImage(image, args.flash.file, read.content);
    CheckRangeFits(image, range, true, args.flash.steps.erase);

    RunRecord fileRecord;
    fileRecord.command = "station";
    fileRecord.range = args.flash.range;
    DescribeFile(fileRecord, args.flash.file, read.content);
    if (options.job) {
        if (fileRecord.sha256 != options.job->job.sha256)
            throw BadInput("The image " + args.flash.file + " is not the job's (SHA-256 " +
                           fileRecord.sha256.substr(0, 12) + "..., the job names " +
                           options.job->job.sha256.substr(0, 12) + "...)");
        fileRecord.job = options.job->job.name;
        fileRecord.jobSha256 = options.job->fileSha256;
    }
    StationScreen screen(*options.reporting, fileRecord, session.Host(),
                         options.job ? options.job->job.fixtureSlots : std::vector<JobSlot>{});
    StationSettings settings{RequestFrom(args.flash, range), args.slots, args.units, {}};
    std::optional<SerialNumbers> serials;
    if (!args.flash.serial.empty())
        serials.emplace(*options.reporting, args.flash.serial, image, args.flash.newSerial,
                        WhenUnreachable::Wait);
    const std::unique_ptr<StationClaim> claim = ClaimStation(*options.reporting);
    StationRecorder recorder(*options.reporting, claim.get(),
                             [&screen](RunRecord& record) { screen.ShowVerdict(record); });
    screen.RecordWith(recorder);
    if (serials) settings.imageFor = [&serials](BoardImage& board) { return serials->Give(board); };
    {
        StopOnSignal stopOnSignal;
        RunStation(session.Host(), session.UserDeviceMatch(), image, settings, screen,
                   [&session](const GangTarget& target) { return session.Selects(target); });
        // The boards judged while the database was away are recorded once it is back.
        recorder.Finish([] { return StopOnSignal::Requested(); });
    }
    screen.ShowSummary();
    const BatchSummary summary = screen.Summary();
    if (summary.failed + summary.stopped > 0)
        throw OperationFailed("Not every board passed: " + summary.Text());
    options.reporting->resultShown = true;
}

}  // namespace

void AddStationCommand(CLI::App& app, GlobalOptions& options) {
    auto args = std::make_shared<StationArguments>();
    auto* station = app.add_subcommand(
        "station", "Flash and judge every board plugged in, on every port, until Ctrl-C or --units");
    auto* file = station->add_option("file", args->flash.file, "A .bin or .h00 program file");
    AddSequenceOptions(station, args->flash);
    station->add_option("--units", args->units, "End after this many boards were judged");
    station->add_option("--slots", args->slots, "Flash at most this many boards at once");
    AddSerialOption(station, args->flash.serial, args->flash.newSerial);
    station->add_option_function<std::string>(
        "--job", [&options](const std::string& job) { options.job = ReadJobFile(job); },
        "Run the job file made by `job create` (its image, options, serial numbers, database)");
    station->callback([&options, args, station, file] {
        // A job fixes how its boards are flashed: the operator adds only how many and how.
        if (options.job) {
            for (const CLI::Option* given : station->get_options())
                if (given->count() > 0 && given->get_name() != "--job" &&
                    given->get_name() != "--units" && given->get_name() != "--slots")
                    throw BadInput(given->get_name() + " is fixed by the job; make another job");
        } else if (file->count() == 0) {
            throw BadInput("station needs FILE or --job JOB");
        }
        WithSession(options, [&](Session& session) { RunStationCommand(session, options, *args); });
    });
}

}  // namespace qv::cli
