#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/HexArguments.h"
#include "cli/IspSession.h"
#include "cli/StopSignal.h"
#include "cli/TerminalView.h"
#include "common/AtomicFile.h"
#include "common/TypedNumber.h"
#include "image/ProgramFileCheck.h"
#include "image/RangeChoice.h"
#include "isp/FlashWalks.h"
#include "isp/GangFlash.h"
#include "isp/IspJobs.h"
#include "isp/RangeCheck.h"

namespace qv::cli {
namespace {

struct FlashArguments {
    std::string file;
    std::string range = "all";
    bool noReload = false;
    bool noIsp = false;
    bool noErase = false;
    bool noBlank = false;
    bool noProgram = false;
    bool noVerify = false;
    bool noProtect = false;
    bool all = false;
};

// What a single step needs: a program file, a sector range, or neither.
enum class StepInput { None, ProgramFile, SectorRange, OutputFile };

struct RangeArgument {
    bool wholeFlash = true;
    std::string startText;  // KB
    std::string sizeText;   // KB
};

// "all", or START_KB:SIZE_KB in decimal.
RangeArgument ParseRange(const std::string& text) {
    if (text == "all") return {};
    const auto colon = text.find(':');
    if (colon == std::string::npos) throw BadInput("--range takes 'all' or START_KB:SIZE_KB");
    RangeArgument range{false, text.substr(0, colon), text.substr(colon + 1)};
    ParseDecimalArgument("range start", range.startText, 0x3FFFFF);
    ParseDecimalArgument("range size", range.sizeText, 0x3FFFFF);
    return range;
}

AutoRequest RequestFrom(const FlashArguments& args, const RangeArgument& range) {
    return {{!args.noReload, !args.noIsp, !args.noErase, !args.noBlank, !args.noProgram,
             !args.noVerify, !args.noProtect},
            range.wholeFlash,
            range.startText,
            range.sizeText,
            args.file};
}

// One flash job of the ISP page, run from the command line. Everything the arguments alone can
// tell (the file, the range against the address space) is checked before the device is
// touched; SIGINT and SIGTERM ask the job to stop as the window's Stop button does.
class FlashRun {
public:
    explicit FlashRun(Session& session)
        : view_(std::cout, isatty(STDOUT_FILENO) != 0),
          jobs_(session.Device(), view_, program_, flash_) {
        view_.WatchStop(jobs_.StopRequested);
    }

    void UseRange(const RangeArgument& range) {
        range_ = range;
        ApplyRangeChoice(program_, range.wholeFlash, range.startText, range.sizeText);
    }

    // Loads the program file, or refuses it with the cause.
    void Load(const std::string& file) {
        if (const auto problem = ProgramFileProblem(file)) throw BadInput(*problem);
        program_.ProgramFileName = file;
        const ProgramFileReport report = ReadProgramFile(program_);
        view_.ShowChecksum(report.checksumText);
        view_.SetTotalBytes(program_.ProgramImage.LoadedLength);
    }

    // Refuses a range beyond the address space, before anything is sent.
    void CheckRange(bool walks, bool sectorErase) const {
        if (const auto refusal =
                JobRangeRefusal(program_, range_.wholeFlash, walks,
                                sectorErase && !range_.wholeFlash))
            throw BadInput(*refusal);
    }

    void Auto(const FlashArguments& args) {
        const AutoRequest request = RequestFrom(args, range_);
        StopOnSignal stopOnSignal;
        bool autoBusy = false;
        switch (jobs_.Auto(request, autoBusy)) {
            case AutoOutcome::Succeeded:
                return;
            case AutoOutcome::Refused:
                throw BadInput(view_.LastMessage());
            default:
                throw OperationFailed(view_.LastProcessInfo());
        }
    }

    // Clears the status register first, as the sequence's erase step does, so a protected
    // flash is erased rather than reported erased.
    void Erase() { Check(jobs_.ClearProtectionAndErase(range_.wholeFlash)); }
    void BlankCheck() { Check(jobs_.BlankCheck(range_.wholeFlash)); }
    // Refuses a write-protected flash and verifies what it wrote unless told not to.
    void Program(bool verify) { Check(jobs_.ProgramAndVerify(range_.wholeFlash, verify)); }
    void Verify() { Check(jobs_.Verify(range_.wholeFlash)); }
    void ReadBack(const std::string& out) {
        view_.SetTotalBytes(kReadBackEnd);
        const bool read = jobs_.ReadBack();
        const std::string failure = view_.LastProcessInfo();
        Check(jobs_.SaveReadBack(out));
        if (!read) throw OperationFailed(failure);
    }

    // The job runs with signals turned into its stop request.
    template <typename Step>
    void Run(Step step) {
        StopOnSignal stopOnSignal;
        step(*this);
    }

private:
    void Check(bool ok) {
        if (!ok) throw OperationFailed(view_.LastProcessInfo());
    }

    TerminalView view_;
    ProgramFile program_;
    FlashContext flash_;
    IspJobs jobs_;
    RangeArgument range_;
};

// Gang programming: every matching device at once, then one line per device.
void FlashEveryDevice(Session& session, const FlashArguments& args, const RangeArgument& range) {
    const auto targets = FindGangTargets(session.Host(), session.UserDeviceMatch());
    if (targets.empty()) throw NoDevice();
    const auto results = FlashAll(session.Host(), targets, RequestFrom(args, range));
    std::size_t failed = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const bool ok = results[i].outcome == AutoOutcome::Succeeded;
        failed += ok ? 0 : 1;
        std::cout << "Device " << i + 1 << " " << results[i].target.path << ": "
                  << (ok ? "OK " : "FAILED ") << results[i].text << "\n";
    }
    if (failed > 0)
        throw OperationFailed(std::to_string(failed) + " of " + std::to_string(results.size()) +
                              " devices failed");
}

void AddRangeOption(CLI::App* command, FlashArguments& args) {
    command->add_option("--range", args.range, "all, or START_KB:SIZE_KB")->capture_default_str();
}

void AddNoIsp(CLI::App* command, FlashArguments& args) {
    command->add_flag("--no-isp", args.noIsp, "Do not enter and leave ISP mode around the command");
}

// The output of read-back must be creatable before the flash is read for it.
void CheckOutputFile(const std::string& file) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        throw BadInput(file + ": is a folder, not a file");
    if (!CanCreateFileAt(file)) throw BadInput("Cannot write " + file);
}

// Registers a single flash step: its input checked first, then the device found and ISP mode
// held around the step.
CLI::App* AddStep(CLI::App& app, const GlobalOptions& options, const char* name,
                  const char* help, StepInput input, const std::shared_ptr<FlashArguments>& args,
                  void (*run)(FlashRun&, const FlashArguments&)) {
    auto* command = app.add_subcommand(name, help);
    if (input == StepInput::ProgramFile)
        command->add_option("file", args->file, "A .bin or .h00 program file")->required();
    if (input == StepInput::OutputFile)
        command->add_option("file", args->file, "The file to write")->required();
    if (input != StepInput::OutputFile) AddRangeOption(command, *args);
    AddNoIsp(command, *args);
    command->callback([&options, args, input, run] {
        const RangeArgument range = ParseRange(args->range);
        WithSession(options, [&](Session& session) {
            FlashRun flash(session);
            flash.UseRange(range);
            if (input == StepInput::ProgramFile) flash.Load(args->file);
            if (input == StepInput::OutputFile) CheckOutputFile(args->file);
            flash.CheckRange(input == StepInput::ProgramFile, input == StepInput::SectorRange);
            session.RequireDevice();
            IspSession isp(session.Device(), args->noIsp);
            flash.Run([&](FlashRun& job) { run(job, *args); });
            if (!isp.Leave()) throw OperationFailed(kExitIspFailText);
        });
    });
    return command;
}

}  // namespace

void AddFlashCommands(CLI::App& app, const GlobalOptions& options) {
    auto args = std::make_shared<FlashArguments>();
    auto* flash = app.add_subcommand("flash", "The automatic sequence (\"Auto\") with FILE");
    flash->add_option("file", args->file, "A .bin or .h00 program file")->required();
    AddRangeOption(flash, *args);
    flash->add_flag("--no-reload", args->noReload, "Do not load the file (erase-only runs)");
    AddNoIsp(flash, *args);
    flash->add_flag("--no-erase", args->noErase, "Skip the erase");
    flash->add_flag("--no-blank", args->noBlank, "Skip the blank check");
    flash->add_flag("--no-program", args->noProgram, "Skip programming");
    flash->add_flag("--no-verify", args->noVerify, "Skip the verify");
    flash->add_flag("--no-protect", args->noProtect, "Leave the flash unprotected");
    flash->add_flag("--all", args->all,
                    "Program every attached matching device at once, a line per device");
    flash->callback([&options, args] {
        const RangeArgument range = ParseRange(args->range);
        WithSession(options, [&](Session& session) {
            FlashRun run(session);
            run.UseRange(range);
            if (!args->noReload) {
                run.Load(args->file);
                run.CheckRange(true, !args->noErase);
            }
            if (args->all) return FlashEveryDevice(session, *args, range);
            session.RequireDevice();
            run.Auto(*args);
        });
    });

    AddStep(app, options, "erase", "Clear the protection, then erase the chip or the sectors of --range",
            StepInput::SectorRange, std::make_shared<FlashArguments>(),
            [](FlashRun& run, const FlashArguments&) { run.Erase(); });
    AddStep(app, options, "blank", "Blank check over FILE's length", StepInput::ProgramFile,
            std::make_shared<FlashArguments>(),
            [](FlashRun& run, const FlashArguments&) { run.BlankCheck(); });
    auto programArgs = std::make_shared<FlashArguments>();
    auto* program = AddStep(app, options, "program",
                            "Program FILE into an erased, unprotected flash and verify it",
                            StepInput::ProgramFile, programArgs,
                            [](FlashRun& run, const FlashArguments& a) { run.Program(!a.noVerify); });
    program->add_flag("--no-verify", programArgs->noVerify, "Do not verify what was written");
    AddStep(app, options, "verify", "Compare the flash with FILE", StepInput::ProgramFile,
            std::make_shared<FlashArguments>(),
            [](FlashRun& run, const FlashArguments&) { run.Verify(); });
    AddStep(app, options, "read-back", "Read the first 128 KB of the flash into OUT",
            StepInput::OutputFile, std::make_shared<FlashArguments>(),
            [](FlashRun& run, const FlashArguments& a) { run.ReadBack(a.file); });
}

}  // namespace qv::cli
