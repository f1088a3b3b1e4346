#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/FlashOptions.h"
#include "cli/FlashPlan.h"
#include "cli/HexArguments.h"
#include "cli/IspSession.h"
#include "cli/JobOutcome.h"
#include "cli/Reporting.h"
#include "cli/SerialNumbers.h"
#include "cli/StopSignal.h"
#include "common/HexFormat.h"
#include "common/OutputFile.h"
#include "device/host/InterfacePath.h"
#include "image/ProgramFileCheck.h"
#include "image/RangeChoice.h"
#include "isp/FlashWalks.h"
#include "isp/GangFlash.h"
#include "isp/IspJobs.h"
#include "isp/RangeCheck.h"

namespace qv::cli {
namespace {

// What a single step needs: a program file, a sector range, or an output file.
enum class StepInput { ProgramFile, SectorRange, OutputFile };

// One flash job of the ISP page, run from the command line. Everything the arguments alone can
// tell (the file, the range against the address space) is checked before the device is
// touched; SIGINT and SIGTERM ask the job to stop as the window's Stop button does. However it
// ends, the run ends in one record: the verdict, the JSON result and the log line.
class FlashRun {
public:
    FlashRun(Session& session, const GlobalOptions& options, const std::string& command,
             const std::string& range)
        : session_(session),
          reporting_(*options.reporting),
          view_(reporting_.NewView()),
          jobs_(session.Device(), *view_, program_, flash_) {
        view_->WatchStop(jobs_.StopRequested);
        record_.command = command;
        record_.range = range;
    }

    void UseReadBlock(unsigned bytes) { flash_.ReadBlockSize = static_cast<std::uint8_t>(bytes); }

    void UseRange(const RangeArgument& range) {
        range_ = range;
        ApplyRangeChoice(program_, range.wholeFlash, range.startText, range.sizeText);
    }

    // Reads and loads the program file once (what is programmed is what the record describes),
    // or refuses it with the cause.
    void Load(const std::string& file) {
        record_.file = file;
        const ProgramFileRead read = ReadProgramFileOnce(file);
        if (read.problem) throw BadInput(*read.problem);
        UseImage(program_, file, read.content);
        view_->ShowChecksum("Checksum : 0x" + Hex4(read.content.sum));
        view_->SetTotalBytes(program_.ProgramImage.LoadedLength);
        DescribeFile(record_, file, read.content);
    }
    void NameOutput(const std::string& file) { record_.file = file; }

    // Refuses a range beyond the address space, before anything is sent.
    void CheckRange(bool walks, bool sectorErase) const {
        if (const auto refusal = JobRangeRefusal(program_, range_.wholeFlash, walks,
                                                 sectorErase && !range_.wholeFlash))
            throw BadInput(*refusal);
    }

    void ChooseDevice() {
        const Candidate& chosen = session_.RequireDevice();
        record_.device = chosen.selector;
        record_.devicePath = chosen.path;
    }

    // The board's own serial number in the image it is flashed with, given once its flash is
    // identified; none could be taken fails the run with nothing written.
    void UseSerial(const FlashArguments& args) {
        serials_.emplace(reporting_, args.serial, program_, args.newSerial, WhenUnreachable::Fail);
    }

    // Runs the command's body with signals turned into the job's stop request, and reports its
    // end, also when it failed; the failure then goes on to main for the exit code.
    void Run(const std::function<void(FlashRun&)>& body) {
        StopOnSignal stopOnSignal;
        try {
            body(*this);
        } catch (const BadInput& error) {
            Finish(kExitBadInput, error.what());
            throw;
        } catch (const RecordsRefused& error) {
            Finish(kExitBadInput, error.what());
            throw;
        } catch (const NoDevice& error) {
            Finish(kExitNoDevice, error.what());
            throw;
        } catch (const JobFailed& error) {
            FailIfReplayStopped(false);
            Finish(kExitFailed, error.what(), error.result.kind);
            throw;
        } catch (const OperationFailed& error) {
            FailIfReplayStopped(false);
            Finish(kExitFailed, error.what());
            throw;
        } catch (const std::exception& error) {
            // Whatever ended the run, it ends with its verdict and log line.
            Finish(kExitFailed, std::string("internal error: ") + error.what());
            throw;
        }
        FailIfReplayStopped(true);
        Finish(kExitSuccess, succeeded_.text);
        // An output of the run that could not be written failed it (the record says which).
        if (!record_.ok) throw OperationFailed(record_.message);
    }

    void Auto(const FlashArguments& args) {
        AutoRequest request = LoadedRequest(args, range_);
        if (serials_)
            request.prepareImage = [this](const FlashContext& flash, ProgramFile& program) {
                BoardImage board{record_.device, flash, program, *view_, stopAsked_, {}, false};
                const JobResult given = serials_->Give(board);
                record_.serial = board.serial;
                record_.serialKept = board.serialKept;
                record_.checksum = LoadedSum(program.ProgramImage);
                return given;
            };
        bool autoBusy = false;
        Check(*jobs_.Auto(request, autoBusy));
    }

    // Clears the status register first, as the sequence's erase step does, so a protected
    // flash is erased rather than reported erased.
    void Erase() { Check(jobs_.ClearProtectionAndErase(range_.wholeFlash)); }
    // ISP mode around a single step: a failed entry ends the run before the step, a failed
    // exit fails work that succeeded.
    void EnterIsp(IspSession& isp) { CheckSwitch(isp.Enter(), FailureKind::IspEntryFailed); }
    void LeaveIsp(IspSession& isp) { CheckSwitch(isp.Leave(), FailureKind::IspExitFailed); }
    void BlankCheck() { Check(jobs_.BlankCheck(range_.wholeFlash)); }
    // Refuses a write-protected flash and verifies what it wrote unless told not to.
    void Program(bool verify) { Check(jobs_.ProgramAndVerify(range_.wholeFlash, verify)); }
    void Verify() { Check(jobs_.Verify(range_.wholeFlash)); }
    // The first 128 KB as the window reads them, an assigned range, or the whole flash.
    void ReadBack(const std::string& out, bool allFlash) {
        std::optional<FlashRange> range = FlashRange{0, kReadBackEnd};
        if (allFlash) range.reset();
        if (!range_.wholeFlash)
            range = FlashRange{program_.RangeStart, program_.RangeStart + program_.RangeSize};
        view_->SetTotalBytes(range ? range->end - range->start : 0);
        // A read that failed or was stopped leaves the file as it was: only a whole dump is
        // written.
        Check(jobs_.ReadBackRange(range));
        Check(jobs_.SaveReadBack(out));
    }

private:
    // A replay that stopped is the verdict, whatever the job made of it (see WithSession).
    void FailIfReplayStopped(bool succeeded) {
        const std::string problem = session_.ReplayProblem(succeeded);
        if (problem.empty()) return;
        // A replay that stopped is a device that vanished from its recording.
        Finish(kExitFailed, problem, FailureKind::DeviceGone);
        throw OperationFailed(problem);
    }

    void CheckSwitch(Reply reply, FailureKind kind) {
        if (reply != Reply::Done) {
            const JobResult failed = FailureOf(reply, kind);
            view_->ShowProcessInfo(failed.text);
            ThrowFailure(failed);
        }
    }

    // A job's result: a failure ends the run (ThrowFailure); a success keeps its text for
    // the verdict.
    void Check(const JobResult& result) {
        if (!result.Ok()) ThrowFailure(result);
        succeeded_ = result;
    }

    void Finish(int exitCode, const std::string& message,
                std::optional<FailureKind> kind = std::nullopt) {
        record_.ok = exitCode == kExitSuccess;
        record_.exitCode = exitCode;
        record_.message = message;
        // Without a job's result: a refusal before anything was sent (exit 2), no device
        // (exit 3), else none.
        record_.failure = kind                           ? KindName(*kind)
                          : exitCode == kExitBadInput    ? KindName(FailureKind::Refused)
                          : exitCode == kExitNoDevice    ? KindName(FailureKind::NoDevice)
                                                         : "";
        record_.chipId = ChipIdText(flash_.ChipId);
        record_.flashUid = UniqueIdText(flash_.UniqueId);
        record_.seconds = static_cast<double>(session_.Host().NowMs() - startedMs_) / 1000;
        reporting_.Finish(*view_, record_);
    }

    Session& session_;
    Reporting& reporting_;
    std::unique_ptr<CliView> view_;
    ProgramFile program_;
    FlashContext flash_;
    IspJobs jobs_;
    RangeArgument range_;
    RunRecord record_;
    JobResult succeeded_;
    std::optional<SerialNumbers> serials_;  // --serial
    const StopAsked stopAsked_ = [this] { return jobs_.StopRequested; };
    // The host's clock: real time on hardware, the chip's own time on the simulator.
    std::uint64_t startedMs_ = session_.Host().NowMs();
};

// Gang programming: every matching device at once, then one verdict per device. SIGINT and
// SIGTERM stop every device's job at its next block or step, with its clean-up, as they stop
// a single device's.
void FlashEveryDevice(Session& session, const GlobalOptions& options, const FlashArguments& args,
                      const RangeArgument& range) {
    const ProgramFileRead read = ReadProgramFileOnce(args.file);
    if (read.problem) throw BadInput(*read.problem);
    ProgramFile program;
    UseImage(program, args.file, read.content);
    CheckRangeFits(program, range, true, args.steps.erase);
    const auto targets = session.SelectedTargets();
    Reporting& reporting = *options.reporting;
    const auto view = reporting.NewView();
    std::vector<BoardResult> results;
    {
        StopOnSignal stopOnSignal;
        results = FlashAll(session.Host(), targets, program, LoadedRequest(args, range),
                           &StopOnSignal::Requested);
    }
    BatchSummary summary;
    for (const BoardResult& board : results) {
        RunRecord record;
        record.command = "flash";
        record.device = SelectorOf(board.target.path);
        record.devicePath = board.target.path;
        DescribeFile(record, args.file, read.content);
        record.range = args.range;
        RecordResult(record, board.result);
        record.chipId = ChipIdText(board.chipId);
        record.flashUid = UniqueIdText(board.uniqueId);
        record.seconds = board.seconds;
        reporting.Finish(*view, record);
        summary.Count(record);
        summary.workedMs = std::max<std::uint64_t>(summary.workedMs, board.seconds * 1000);
    }
    view->ShowSummary(summary);
    if (summary.failed + summary.stopped > 0)
        throw OperationFailed("Not every device passed: " + summary.Text());
}

// The output of read-back must be writable before the flash is read for it.
void CheckOutputFile(const std::string& file) {
    if (const auto problem = OutputProblem(file)) throw BadInput("Cannot write " + file + ": " + *problem);
}

// Registers a single flash step: its input checked first, then the device found and ISP mode
// held around the step. A step that changes the flash or a file has its plan for --dry-run.
CLI::App* AddStep(CLI::App& app, const GlobalOptions& options, const char* name,
                  const char* help, StepInput input, const std::shared_ptr<FlashArguments>& args,
                  void (*step)(FlashRun&, const FlashArguments&),
                  Plan (*plan)(const FlashArguments&) = nullptr) {
    auto* command = app.add_subcommand(name, help);
    if (input == StepInput::ProgramFile)
        command->add_option("file", args->file, "A .bin or .h00 program file")->required();
    if (input == StepInput::OutputFile)
        command->add_option("file", args->file, "The file to write")->required();
    AddRangeOption(command, *args);
    AddStepSwitch(command, *args, &AutoSteps::ispMode);
    if (input != StepInput::SectorRange) AddReadBlock(command, *args);
    command->callback([&options, args, input, step, name, plan] {
        // A dump written to standard output keeps it to itself: the run reports on standard
        // error.
        if (input == StepInput::OutputFile && IsStandardOutput(args->file))
            options.reporting->out = &std::cerr;
        const auto body = [&](Session& session) {
            FlashRun flash(session, options, name, args->range);
            flash.Run([&](FlashRun& run) {
                run.UseReadBlock(args->readBlock);
                run.UseRange(ParseRange(args->range));
                if (input == StepInput::ProgramFile) run.Load(args->file);
                if (input == StepInput::OutputFile) {
                    run.NameOutput(args->file);
                    CheckOutputFile(args->file);
                }
                run.CheckRange(input == StepInput::ProgramFile, input != StepInput::ProgramFile);
                run.ChooseDevice();
                IspSession isp(session.Device(), !args->steps.ispMode);
                run.EnterIsp(isp);
                step(run, *args);
                run.LeaveIsp(isp);
            });
        };
        if (plan == nullptr) return WithSession(options, body);
        Perform(options, [&] { return plan(*args); }, body);
    });
    return command;
}

}  // namespace

void AddFlashCommands(CLI::App& app, const GlobalOptions& options) {
    auto args = std::make_shared<FlashArguments>();
    auto* flash = app.add_subcommand("flash", "The automatic sequence (\"Auto\") with FILE");
    flash->add_option("file", args->file, "A .bin or .h00 program file")->required();
    AddSequenceOptions(flash, *args);
    AddStepSwitch(flash, *args, &AutoSteps::reloadFile);
    flash->add_flag("--all", args->all,
                    "Program every attached matching device at once, a verdict per device");
    AddReadBlock(flash, *args)->excludes("--all");
    AddSerialOption(flash, args->serial, args->newSerial)->excludes("--all")->excludes("--no-reload");
    flash->callback([&options, args] {
        const auto plan = [&] {
            return SequencePlan(*args, *options.reporting,
                                args->all ? "every attached matching device at once" : "the board");
        };
        Perform(options, plan, [&](Session& session) {
            if (args->all) return FlashEveryDevice(session, options, *args, ParseRange(args->range));
            FlashRun sequence(session, options, "flash", args->range);
            sequence.Run([&](FlashRun& run) {
                run.UseReadBlock(args->readBlock);
                run.UseRange(ParseRange(args->range));
                if (args->steps.reloadFile) {
                    run.Load(args->file);
                    run.CheckRange(true, args->steps.erase);
                }
                run.ChooseDevice();
                if (!args->serial.empty()) run.UseSerial(*args);
                run.Auto(*args);
            });
        });
    });

    AddStep(app, options, "erase", "Clear the protection, then erase the chip or the sectors of --range",
            StepInput::SectorRange, std::make_shared<FlashArguments>(),
            [](FlashRun& run, const FlashArguments&) { run.Erase(); }, ErasePlan);
    AddStep(app, options, "blank", "Blank check over FILE's length", StepInput::ProgramFile,
            std::make_shared<FlashArguments>(),
            [](FlashRun& run, const FlashArguments&) { run.BlankCheck(); });
    auto programArgs = std::make_shared<FlashArguments>();
    auto* program = AddStep(app, options, "program",
                            "Program FILE into an erased, unprotected flash and verify it",
                            StepInput::ProgramFile, programArgs,
                            [](FlashRun& run, const FlashArguments& a) { run.Program(a.steps.verify); },
                            ProgramPlan);
    AddStepSwitch(program, *programArgs, &AutoSteps::verify);
    AddStep(app, options, "verify", "Compare the flash with FILE", StepInput::ProgramFile,
            std::make_shared<FlashArguments>(),
            [](FlashRun& run, const FlashArguments&) { run.Verify(); });
    auto readArgs = std::make_shared<FlashArguments>();
    auto* readBack = AddStep(
        app, options, "read-back",
        "Read the flash into OUT: the first 128 KB, a --range (all: the whole flash), or "
        "--all-flash",
        StepInput::OutputFile, readArgs,
        [](FlashRun& run, const FlashArguments& a) { run.ReadBack(a.file, a.allFlash); },
        ReadBackPlan);
    // Without --range the dump is the first 128 KB, as the window reads it; asked for, "all" is
    // what it says.
    CLI::Option* range = readBack->get_option("--range");
    range->each([readArgs](const std::string& text) {
        if (text == "all") readArgs->allFlash = true;
    });
    readBack
        ->add_flag("--all-flash", readArgs->allFlash,
                   "The whole flash, its size from the identification (the same as --range all)")
        ->excludes(range);
}

}  // namespace qv::cli
