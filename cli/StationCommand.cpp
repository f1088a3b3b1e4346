#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/FlashOptions.h"
#include "cli/FlashPlan.h"
#include "cli/JobOutcome.h"
#include "cli/Reporting.h"
#include "cli/SerialNumbers.h"
#include "cli/Session.h"
#include "cli/StationRun.h"
#include "cli/StopSignal.h"
#include "cli/TerminalWidth.h"

namespace qv::cli {
namespace {

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

// The station on the command line: a verdict in the output mode's form per board as it is
// recorded and, on a terminal, a live block under them: a line per port and the summary.
class StationScreen : public StationDisplay {
public:
    explicit StationScreen(Reporting& reporting)
        : view_(reporting.NewView()), live_(reporting.mode == OutputMode::Terminal) {}

    void ShowVerdict(const RunRecord& record, const LineState&) override {
        ClearLive();
        view_->ShowResult(record);
    }

    void ShowPorts(const std::vector<PortView>& ports, const LineState& state) override {
        if (!live_) return;
        ClearLive();
        for (const PortView& view : ports) {
            const SlotSnapshot& port = view.port;
            char progress[16] = "";
            if (port.state == SlotSnapshot::State::Flashing)
                std::snprintf(progress, sizeof progress, " %3.0f%%", port.progress * 100);
            char seconds[16];
            std::snprintf(seconds, sizeof seconds, "%.1f s", port.seconds);
            std::cout << FitToTerminal(port.selector +
                                       (view.label.empty() ? "" : " [" + view.label + "]") + "  " +
                                       StateText(port.state) + progress + "  " +
                                       TrimmedText(port.text) + "  " + seconds)
                      << "\x1b[K\n";
        }
        liveLines_ = ports.size() + 1;
        if (state.databaseAway) {
            const std::size_t waiting = state.waitingForDatabase;
            std::cout << FitToTerminal(std::to_string(waiting) + " judged board" +
                                       (waiting == 1 ? "" : "s") + " waiting for the database")
                      << "\x1b[K\n";
            ++liveLines_;
        }
        std::cout << FitToTerminal(state.summary.Text()) << "\x1b[K\n" << std::flush;
    }

    bool StopRequested() override { return StopOnSignal::Requested(); }

    // The summary's line, or event, once the station has ended, in place of the live block.
    void ShowSummary(const BatchSummary& summary) {
        ClearLive();
        view_->ShowSummary(summary);
    }

private:
    void ClearLive() {
        if (liveLines_ == 0) return;
        std::cout << "\x1b[" << liveLines_ << "F\x1b[J" << std::flush;
        liveLines_ = 0;
    }

    std::unique_ptr<CliView> view_;
    const bool live_;
    std::size_t liveLines_ = 0;
};

void RunStationCommand(Session& session, const GlobalOptions& options,
                       const StationArguments& args) {
    StationScreen screen(*options.reporting);
    BatchSummary summary;
    {
        StopOnSignal stopOnSignal;
        summary = RunStationOn(session, options, args, screen);
    }
    screen.ShowSummary(summary);
    if (summary.failed + summary.stopped > 0)
        throw OperationFailed("Not every board passed: " + summary.Text());
    options.reporting->resultShown = true;
}

// The station's plan: the sequence each board would get (a job's as it was made), and how many.
Plan StationPlan(const GlobalOptions& options, const StationArguments& args) {
    FlashArguments flash = args.flash;
    if (options.job) {
        CheckJobImage(*options.job);
        flash = FlashArgumentsOf(*options.job);
    }
    const std::string boards =
        "every board plugged into any port" +
        (args.slots > 0 ? ", at most " + std::to_string(args.slots) + " at once" : std::string()) +
        (args.units == 0   ? std::string(", until Ctrl-C")
         : args.units == 1 ? std::string(", until one is judged")
                           : ", until " + std::to_string(args.units) + " are judged");
    return SequencePlan(flash, *options.reporting, boards);
}

}  // namespace

void AddStationCommand(CLI::App& app, GlobalOptions& options) {
    auto args = std::make_shared<StationArguments>();
    auto* station = app.add_subcommand(
        "station",
        "Flash and judge every board plugged in, on every port, until Ctrl-C or --units");
    auto* file = station->add_option("file", args->flash.file, "A .bin or .h00 program file");
    AddSequenceOptions(station, args->flash);
    station->add_option("--units", args->units, "End after this many boards were judged")
        ->type_name("N");
    station->add_option("--slots", args->slots, "Flash at most this many boards at once")
        ->type_name("N");
    AddSerialOption(station, args->flash.serial, args->flash.newSerial);
    station
        ->add_option_function<std::string>(
            "--job", [&options](const std::string& job) { options.job = ReadJobFile(job); },
            "Run the job file made by `job create` (its image, options, serial numbers, database)")
        ->type_name("FILE");
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
        Perform(options, [&] { return StationPlan(options, *args); },
                [&](Session& session) { RunStationCommand(session, options, *args); });
    });
}

}  // namespace qv::cli
