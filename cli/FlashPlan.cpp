#include "cli/FlashPlan.h"

#include "cli/CliErrors.h"
#include "cli/Reporting.h"
#include "cli/SerialNumbers.h"
#include "common/HexFormat.h"
#include "common/OutputFile.h"
#include "image/RangeChoice.h"
#include "isp/FlashWalks.h"
#include "isp/IspJobs.h"

namespace qv::cli {
namespace {

// The flash addresses a step covers, as text and as the plan's figures.
void AddSpan(Plan& plan, const std::string& action, const std::string& what, FlashRange span,
             const std::string& after = "") {
    // Nothing loaded (--no-reload) covers no address.
    const std::string addresses = span.end == span.start ? " no address"
                                                          : " 0x" + Hex6(span.start) + "-0x" +
                                                                Hex6(span.end - 1);
    plan.Step(action, what + addresses + " (" + std::to_string(span.end - span.start) +
                          " bytes)" + after)
        .Add("start", "0x" + Hex6(span.start))
        .Add("end", "0x" + Hex6(span.end))
        .Add("bytes", span.end - span.start);
}

// The input as the run checks it: the range, and the program file read once (described as the
// run's result describes it) when the command loads one.
class CheckedInput {
public:
    CheckedInput(const FlashArguments& args, bool loads) : range_(ParseRange(args.range)) {
        ApplyRangeChoice(program_, range_.wholeFlash, range_.startText, range_.sizeText);
        if (loads) Load(args.file);
    }

    // Refuses a range beyond the address space, before anything is sent.
    void CheckRange(bool walks, bool sectorErase) {
        CheckRangeFits(program_, range_, walks, sectorErase);
    }

    bool WholeFlash() const { return range_.wholeFlash; }
    const ProgramFile& Program() const { return program_; }
    // What the blank check, program and verify cover.
    FlashRange ImageSpan() const { return ImageRange(program_, range_.wholeFlash); }
    Plan& Steps() { return plan_; }

    void Erase() {
        plan_.Step("clear_protection", "Clear the protection (status register 0x00)");
        if (range_.wholeFlash)
            plan_.Step("erase", "Erase the whole flash (chip erase)").Add("range", "all");
        else
            AddSpan(plan_, "erase", "Erase the 4 KB sectors over",
                    {program_.RangeStart, program_.RangeStart + program_.RangeSize},
                    ", keeping the bytes around the range");
    }

private:
    void Load(const std::string& file) {
        const ProgramFileRead read = ReadProgramFileOnce(file);
        if (read.problem) throw BadInput(*read.problem);
        UseImage(program_, file, read.content);
        RunRecord described;
        DescribeFile(described, file, read.content);
        plan_.Step("load", "Load " + file + ": " + std::to_string(*described.length) +
                               " bytes, checksum 0x" + Hex4(*described.checksum) + ", SHA-256 " +
                               described.sha256)
            .Add("file", file)
            .Add("length", *described.length)
            .Add("checksum", "0x" + Hex4(*described.checksum))
            .Add("sha256", described.sha256);
    }

    RangeArgument range_;
    ProgramFile program_;
    Plan plan_;
};

// ISP mode around a single step, unless --no-isp.
Plan AroundIsp(const FlashArguments& args, CheckedInput& input,
               const std::function<void(Plan&)>& step) {
    Plan& plan = input.Steps();
    if (args.steps.ispMode) plan.Step("isp_enter", "Enter ISP mode");
    plan.Step("identify", "Identify the flash and check the range fits it");
    step(plan);
    if (args.steps.ispMode) plan.Step("isp_exit", "Leave ISP mode");
    return plan;
}

}  // namespace

Plan ErasePlan(const FlashArguments& args) {
    CheckedInput input(args, false);
    input.CheckRange(false, true);
    return AroundIsp(args, input, [&](Plan&) { input.Erase(); });
}

Plan ProgramPlan(const FlashArguments& args) {
    CheckedInput input(args, true);
    input.CheckRange(true, false);
    return AroundIsp(args, input, [&](Plan& plan) {
        plan.Step("check_unprotected", "Check the flash is not write-protected");
        AddSpan(plan, "program", "Program", input.ImageSpan());
        if (args.steps.verify) AddSpan(plan, "verify", "Verify", input.ImageSpan());
    });
}

Plan ReadBackPlan(const FlashArguments& args) {
    CheckedInput input(args, false);
    if (const auto problem = OutputProblem(args.file))
        throw BadInput("Cannot write " + args.file + ": " + *problem);
    input.CheckRange(false, true);
    return AroundIsp(args, input, [&](Plan& plan) {
        const ProgramFile& program = input.Program();
        if (!input.WholeFlash())
            AddSpan(plan, "read", "Read", {program.RangeStart, program.RangeStart + program.RangeSize});
        else if (args.allFlash)
            plan.Step("read", "Read the whole flash, its size from the identification")
                .Add("range", "all");
        else
            AddSpan(plan, "read", "Read", {0, kReadBackEnd});
        plan.Step("write_file", "Write what was read to " + args.file).Add("file", args.file);
    });
}

Plan SequencePlan(const FlashArguments& args, const Reporting& reporting,
                  const std::string& boards) {
    CheckedInput input(args, args.steps.reloadFile);
    input.CheckRange(true, args.steps.erase);
    if (!args.serial.empty())
        static_cast<void>(SerialPlace(!reporting.databaseName.empty(), input.Program()));
    Plan& plan = input.Steps();
    plan.Step("boards", "On " + boards + ", the automatic sequence:");
    // The steps in the sequence's order; --changed-only takes the place of the four walks.
    AutoSteps steps = args.steps;
    if (args.changedOnly) steps.erase = steps.blank = steps.program = steps.verify = false;
    const bool touchesFlash = steps.erase || steps.blank || steps.program || steps.verify ||
                              steps.protect || args.changedOnly;
    if (steps.ispMode) plan.Step("isp_enter", "Enter ISP mode");
    plan.Step("identify", touchesFlash ? "Identify the flash and check the range fits it"
                                       : "Identify the flash");
    if (touchesFlash) plan.Step("unique_id", "Read the flash's unique ID, where the part has one");
    if (touchesFlash && !args.serial.empty())
        plan.Step("serial", "Give the board a serial number of " + args.serial + " from " +
                                reporting.databaseName +
                                (args.newSerial ? "" : " (a board numbered before keeps its own)"))
            .Add("format", args.serial);
    if (steps.erase) input.Erase();
    if (args.changedOnly) {
        plan.Step("clear_protection", "Clear the protection (status register 0x00)");
        AddSpan(plan, "changed_only", "Compare the 4 KB sectors over", input.ImageSpan(),
                " with the image; erase, program and verify those that differ");
    }
    if (steps.blank) AddSpan(plan, "blank_check", "Blank check", input.ImageSpan());
    if (steps.program) AddSpan(plan, "program", "Program", input.ImageSpan());
    if (steps.verify) AddSpan(plan, "verify", "Verify", input.ImageSpan());
    if (steps.protect) plan.Step("protect", "Protect the flash");
    if (steps.ispMode) plan.Step("isp_exit", "Leave ISP mode");
    return plan;
}

}  // namespace qv::cli
