#include "cli/CommandLine.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/DistinctFiles.h"
#include "cli/DryRun.h"
#include "cli/HelpCommand.h"
#include "cli/I2cCommands.h"
#include "cli/JobOutcome.h"
#include "cli/NearestName.h"
#include "cli/OptionChecks.h"
#include "cli/ParamsCommands.h"
#include "cli/Reporting.h"
#include "cli/Session.h"
#include "cli/StatusCommands.h"
#include "line/AuditLog.h"
#include "line/HostName.h"
#include "line/JsonLine.h"
#include "line/Printable.h"
#include "line/RunDatabase.h"
#include "sim/FaultChoice.h"
#include "sim/SimSetup.h"

namespace qv::cli {
namespace {

struct OutputOptions {
    bool json = false;
    bool quiet = false;
    std::string logFile;
    std::string resultHook;
    std::string workOrder;
    std::string operatorName;
    std::string database;
    int databaseTimeout = 5;
    std::string station;
};

// Names printed in verdicts, summaries and the report (a station, an order, an operator).
std::string PrintableName(const std::string& name) {
    const bool printable = std::none_of(name.begin(), name.end(), IsControlByte);
    return printable && !name.empty() && name.size() <= 64
               ? std::string()
               : std::string("1 to 64 printable characters");
}

void AddGlobalOptions(CLI::App& app, GlobalOptions& options, OutputOptions& output) {
    app.set_version_flag("--version", VersionText());
    auto* sim = app.add_flag("--sim", options.sim, "Attach the simulated chip instead of USB");
    app.add_option("--sim-flash", options.simulator.flashFile,
                   "Keep the simulated flash in FILE (created when missing)")
        ->type_name("FILE")
        ->needs(sim);
    app.add_option("--sim-devices", options.simulator.devices,
                   "Attach this many simulated chips (for flash --all)")
        ->type_name("1..64")
        ->needs(sim)
        ->check(Unlabelled(CLI::Range(1u, 64u)));
    app.add_option("--sim-fault", options.simulator.faults,
                   "Break the simulated chip from transfer N on (default 1): KIND[@N], "
                   "repeatable; kinds: " +
                       sim::FaultKindList())
        ->type_name("KIND[@N]")
        ->needs(sim)
        ->check([](const std::string& text) {
            return sim::ParseFaultChoice(text) ? std::string() : sim::FaultChoiceProblem(text);
        });
    app.add_option_function<std::string>(
           "--sim-speed",
           [&options](const std::string& speed) {
               options.simulator.speed =
                   sim::ParseSimSpeed(speed).value_or(options.simulator.speed);
           },
           "virtual (default: the examples finish at once) or real (a demo at the chip's pace)")
        ->type_name("virtual|real")
        ->needs(sim)
        ->check([](const std::string& text) {
            return sim::ParseSimSpeed(text) ? std::string() : "virtual or real";
        });
    app.add_option("--sim-replug", options.simReplug,
                   "A simulated operator: each port sees N boards in all, the next plugged in "
                   "once one is judged (for station)")
        ->type_name("N")
        ->needs(sim);
    app.add_option("--trace", options.traceFile,
                   "Write one line per control transfer to FILE (see the README)")
        ->type_name("FILE");
    app.add_option("--replay", options.replayFile,
                   "Answer from the trace FILE instead of a device (see the README)")
        ->type_name("FILE")
        ->excludes(sim)
        ->check(Unlabelled(CLI::ExistingFile));
    app.add_option("--vid", options.vid, "VID of the user's device (hexadecimal)")
        ->type_name("HEX")
        ->capture_default_str();
    app.add_option("--pid", options.pid, "PID of the user's device (hexadecimal)")
        ->type_name("HEX")
        ->capture_default_str();
    app.add_option("--device", options.device,
                   "The device to use, by the selector `qvusb list` shows (e.g. 1-3.2), or "
                   "serial:TEXT")
        ->type_name("SELECTOR");
    app.add_option_function<double>(
           "--wait",
           [&options](double seconds) {
               if (seconds < 0) throw CLI::ValidationError("--wait", "takes seconds, 0 or more");
               options.waitSeconds = seconds;
           },
           "Wait up to SECONDS (none or 0: for ever) for the board before a single-board command")
        ->type_name("SECONDS")
        ->expected(0, 1)
        ->default_str("0");
    app.add_flag("-n,--dry-run", options.dryRun,
                 "Show what the command would send and write; send and write nothing");
    app.add_flag("--json", output.json,
                 "Standard output as JSON Lines: steps, progress and one result per device");
    app.add_flag("-q,--quiet", output.quiet,
                 "Print only the verdict lines and errors (with --json: only the results)");
    app.add_flag("-v,--verbose", options.verbose,
                 "Print each request's summary on standard error (the trace's lines)");
    app.add_option("--log", output.logFile,
                   "Append one JSON line per device and run to FILE (an audit log)")
        ->type_name("FILE");
    app.add_option("--on-result", output.resultHook,
                   "Run CMD through the shell after each board's verdict, with QV_RESULT, "
                   "QV_SERIAL, QV_FLASH_UID, QV_STATION, QV_PORT, QV_FAILURE, QV_MESSAGE and "
                   "QV_FILE set (a label printer, an MES); at most 30 s")
        ->type_name("CMD");
    app.add_option("--db", output.database,
                   "Keep serial numbers and a row per device and run in the database URL "
                   "(sqlite:PATH or postgresql://...; a password from PGPASSWORD or ~/.pgpass)")
        ->type_name("URL");
    app.add_option("--db-timeout", output.databaseTimeout,
                   "Seconds the database may take to connect and for each statement")
        ->type_name("1..600")
        ->check(Unlabelled(CLI::Range(1, 600)))
        ->capture_default_str();
    app.add_option("--station", output.station,
                   "This station's name in the database (default: the host's name); each qvusb "
                   "process that gives serial numbers needs its own")
        ->type_name("NAME")
        ->check(PrintableName);
    app.add_option("--order", output.workOrder,
                   "The production order the runs belong to, kept with each run (also QV_ORDER)")
        ->type_name("NAME")
        ->envname("QV_ORDER")
        ->check(PrintableName);
    app.add_option("--operator", output.operatorName,
                   "Who runs the station, kept with each run (also QV_OPERATOR)")
        ->type_name("NAME")
        ->envname("QV_OPERATOR")
        ->check(PrintableName);
}

}  // namespace

void AddCommands(CLI::App& app, GlobalOptions& options) {
    AddListCommand(app, options);
    AddRawCommand(app, options);
    AddRegisterCommands(app, options);
    AddIspCommands(app, options);
    AddFlashCommands(app, options);
    AddStationCommand(app, options);
    AddJobCommand(app, options);
    AddSlotsCommand(app, options);
    AddImageCommands(app, options);
    AddI2cCommands(app, options);
    AddParamsCommands(app, options);
    AddStatusCommands(app, options);
    AddUdevRuleCommand(app, options);
    AddSerialsCommand(app, options);
    AddReportCommand(app, options);
    AddBoardCommand(app, options);
    AddHelpCommand(app);
}

namespace {

// The deepest command the parse chose: the program itself when it chose none.
const CLI::App& ChosenCommand(const CLI::App& app) {
    const CLI::App* chosen = &app;
    for (auto below = app.get_subcommands(); !below.empty(); below = chosen->get_subcommands())
        chosen = below.front();
    return *chosen;
}

// The option nearest to a mistyped one ("--rnage": "--range"), among those of the command and
// of the commands above it, which it passes what it does not know; empty when none is near.
std::string NearestOption(const CLI::App& command, const std::string& typed) {
    std::vector<std::string> names;
    for (const CLI::App* level = &command; level != nullptr; level = level->get_parent())
        for (const CLI::Option* option : level->get_options())
            for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    return NearestName(typed, names);
}

int Fail(int code, const std::string& message) {
    std::cerr << "qvusb: " << message << "\n";
    return code;
}

// How a run of the command line ended.
struct Ending {
    int code = kExitSuccess;
    // The failure's text, for standard error and the JSON result.
    std::string message;
    // The parser printed the failure on standard error itself, with its hint.
    bool messagePrinted = false;
    // What --help or --version print on standard output.
    std::string shown;
    // The failure's kind ("refused", "no_device", "request_failed", ...); empty when none is
    // known.
    std::string failure;
};

Ending Failure(int code, std::string message, std::string failure = {}) {
    Ending ending;
    ending.code = code;
    ending.message = std::move(message);
    ending.failure = std::move(failure);
    return ending;
}

// The commands that only read the database: they never create or change it.
bool OnlyReads(const CLI::App& app) {
    for (const CLI::App* command : app.get_subcommands())
        if (command->get_name() == "report" || command->get_name() == "serials" ||
            command->get_name() == "board")
            return true;
    return false;
}

// The commands --wait means nothing to: those that use no board, and the station, which waits
// for its boards by itself.
void RefuseWaitWithoutBoard(const CLI::App& app, const GlobalOptions& options) {
    if (!options.waitSeconds) return;
    for (const CLI::App* command : app.get_subcommands())
        for (const char* name : {"list", "station", "slots", "image", "job", "report", "serials",
                                 "board", "udev-rule", "help"})
            if (command->get_name() == name)
                throw BadInput(std::string("--wait is for commands that use one board; ") + name +
                               (command->get_name() == "station" || command->get_name() == "slots"
                                    ? " waits for its boards itself"
                                    : " uses none"));
}

// A job's database and station name are the run's, unless the command line gives the same.
void TakeJobDefaults(const Job& job, OutputOptions& output) {
    const auto take = [](const std::string& fromJob, std::string& given, const char* option) {
        if (fromJob.empty()) return;
        if (!given.empty() && given != fromJob)
            throw BadInput(std::string(option) + " " + MaskedSecrets(given) +
                           " is not the job's (" + fromJob + ")");
        given = fromJob;
    };
    take(job.database, output.database, "--db");
    take(job.station, output.station, "--station");
}

// Runs the parse and its command; returns how it ended.
Ending Run(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return {};
    } catch (const CLI::ParseError& error) {
        // A word where a command was due, at any level: name the nearest command.
        const CLI::App& chosen = ChosenCommand(app);
        // What a command did not take passed on to the program (see fallthrough below).
        const auto extras = chosen.remaining().empty() ? app.remaining() : chosen.remaining();
        const bool takesCommands = !chosen.get_subcommands({}).empty();
        if (takesCommands && chosen.get_subcommands().empty() && !extras.empty() &&
            extras.front()[0] != '-') {
            std::string message = "'" + extras.front() + "' is not a command";
            if (&chosen != &app) message += " of '" + chosen.get_name() + "'";
            return Failure(kExitBadInput,
                           message + DidYouMean(extras.front(), CommandNames(chosen)));
        }
        // A command that is only a group of commands ("qvusb reg"): name them.
        if (takesCommands && &chosen != &app && chosen.get_subcommands().empty() && extras.empty())
            return Failure(kExitBadInput, "'" + chosen.get_name() + "' needs a command: " +
                                              JoinedNames(CommandNames(chosen)));
        // An option mistyped: name the nearest the command takes.
        if (!extras.empty() && extras.front().rfind("--", 0) == 0) {
            const std::string typed = extras.front().substr(0, extras.front().find('='));
            if (const std::string nearest = NearestOption(chosen, typed); !nearest.empty())
                return Failure(
                    kExitBadInput,
                    "'" + typed + "' is not an option" +
                        (&chosen != &app ? " of '" + chosen.get_name() + "'" : std::string()) +
                        "; did you mean '" + nearest + "'?");
        }
        std::ostringstream shown;
        const int code = app.exit(error, shown, std::cerr);
        const bool failed = code != 0;
        Ending ending = Failure(failed ? kExitBadInput : kExitSuccess, failed ? error.what() : "");
        ending.messagePrinted = true;
        ending.shown = shown.str();
        return ending;
    } catch (const BadInput& error) {
        return Failure(kExitBadInput, error.what(), KindName(FailureKind::Refused));
    } catch (const RecordsRefused& error) {
        return Failure(kExitBadInput, error.what(), KindName(FailureKind::Refused));
    } catch (const NoDevice& error) {
        return Failure(kExitNoDevice, error.what(), KindName(FailureKind::NoDevice));
    } catch (const JobFailed& error) {
        return Failure(kExitFailed, error.what(), KindName(error.result.kind));
    } catch (const OperationFailed& error) {
        return Failure(kExitFailed, error.what());
    } catch (const std::filesystem::filesystem_error& error) {
        return Failure(kExitBadInput, error.what());
    } catch (const std::exception& error) {
        return Failure(kExitFailed, std::string("internal error: ") + error.what());
    }
}

// The command as typed, down to the deepest command chosen ("reg write").
std::string CommandPath(const CLI::App& app) {
    std::string path;
    for (auto below = app.get_subcommands(); !below.empty();
         below = below.front()->get_subcommands())
        path += (path.empty() ? "" : " ") + below.front()->get_name();
    return path;
}

// --dry-run shows the plan of a command that changes a device or a file; any other command is
// refused, so that no run is taken for a plan.
void RefuseDryRunWithoutChange(const CLI::App& app, const GlobalOptions& options) {
    if (!options.dryRun) return;
    if (const std::string refusal = DryRunRefusal(ChosenCommand(app), CommandPath(app));
        !refusal.empty())
        throw BadInput("--dry-run is for commands that change a device or a file; " + refusal);
}

// The log's record of a command that writes none of its own.
RunRecord CommandRecord(const CLI::App& app, const Reporting& reporting, const Ending& ending) {
    RunRecord record;
    record.command = CommandPath(app);
    if (!reporting.device.empty()) record.device = reporting.device;
    record.range.clear();
    record.ok = ending.code == kExitSuccess;
    record.exitCode = ending.code;
    record.message = ending.message;
    record.failure = record.ok ? "" : ending.failure;
    return record;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    CLI::App app{"Programs and inspects the Quorvex USB audio bridge chip", "qvusb"};
    app.require_subcommand(1);
    // The options of the program may also follow the command: commands made from here on pass
    // what they do not know to it.
    app.fallthrough();
    GlobalOptions options;
    OutputOptions output;
    Reporting reporting;
    options.reporting = &reporting;
    AddGlobalOptions(app, options, output);
    AddCommands(app, options);

    std::ostream realOut(std::cout.rdbuf());
    std::ostringstream collected;  // with --json, what commands print goes into the result
    reporting.out = &realOut;
    app.parse_complete_callback([&] {
        reporting.mode = output.json && output.quiet  ? OutputMode::JsonResults
                         : output.json                ? OutputMode::Json
                         : output.quiet               ? OutputMode::Quiet
                         : isatty(STDOUT_FILENO) != 0 ? OutputMode::Terminal
                                                      : OutputMode::Lines;
        if (output.json) std::cout.rdbuf(collected.rdbuf());
        RefuseWaitWithoutBoard(app, options);
        RefuseDryRunWithoutChange(app, options);
        if (options.job) TakeJobDefaults(options.job->job, output);
        std::optional<DatabaseUrl> database;
        if (!output.database.empty()) {
            database = ParseDatabaseUrl(output.database);
            reporting.databaseName = MaskedSecrets(output.database);
        }
        // Before any file is opened: an output that is an input or another output would be
        // destroyed by it.
        const bool sqlite = database && database->kind == DatabaseUrl::Kind::Sqlite;
        RequireDistinctFiles(FilesOf(app, options.replayFile, options.traceFile, output.logFile,
                                     options.simulator.flashFile, sqlite ? database->path : ""));
        reporting.commandLine = QuotedCommandLine(argc, argv);
        // A dry run writes no log line and opens no database: it is no run.
        if (!output.logFile.empty() && !options.dryRun)
            reporting.log = std::make_unique<AuditLog>(output.logFile, reporting.commandLine);
        reporting.station = output.station.empty() ? HostName() : output.station;
        reporting.resultHook = output.resultHook;
        reporting.workOrder = output.workOrder;
        reporting.operatorName = output.operatorName;
        if (!output.station.empty())
            options.simulator.boardSeries = sim::SimHost::BoardSeries(output.station);
        if (database && !options.dryRun)
            reporting.database = OpenRunDatabase(
                *database, OnlyReads(app) ? DatabaseAccess::ReadOnly : DatabaseAccess::ReadWrite,
                output.databaseTimeout);
    });

    Ending ending = Run(app, argc, argv);
    std::cout.rdbuf(realOut.rdbuf());
    // A parse that failed never reached the callback above, so --json is asked of the parser:
    // a recognised command ends in one result line whatever stopped it.
    const auto commands = app.get_subcommands();
    const bool json = app.count("--json") > 0 && !commands.empty();
    // A command that reached for a device and wrote no record of its own (registers, I2C,
    // EEPROM, keys, status, raw, ISP switches) still leaves its line in the log.
    if (reporting.log && reporting.deviceCommand && !reporting.resultShown)
        if (const auto problem = reporting.log->Append(CommandRecord(app, reporting, ending)))
            ending = Failure(
                kExitFailed, ending.message + (ending.message.empty() ? "" : "; ") + *problem,
                ending.failure.empty() ? KindName(FailureKind::OutputNotWritten) : ending.failure);
    if (json && !reporting.resultShown) {
        JsonLine result;
        result.Add("event", "result")
            .Add("command", commands.front()->get_name())
            .Add("ok", ending.code == kExitSuccess)
            .Add("exit_code", ending.code)
            .Add("message", ending.message);
        if (ending.code != kExitSuccess && !ending.failure.empty())
            result.Add("failure", ending.failure);
        if (options.dryRun) result.Add("dry_run", true);
        realOut << result.Add("output", collected.str() + ending.shown).Text() << "\n";
    }
    if (!json) realOut << ending.shown;
    if (!ending.message.empty() && !ending.messagePrinted) Fail(ending.code, ending.message);
    // Verdicts and results that did not reach standard output (a full disk, a closed pipe)
    // leave no record of a success.
    realOut.flush();
    if (!realOut && ending.code == kExitSuccess)
        return Fail(kExitFailed, "standard output could not be written");
    return ending.code;
}

}  // namespace qv::cli
