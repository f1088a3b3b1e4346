#include "cli/FlashOptions.h"

#include <CLI/CLI.hpp>

#include "cli/CliErrors.h"
#include "cli/HexArguments.h"
#include "cli/OptionChecks.h"
#include "image/RangeChoice.h"
#include "isp/RangeCheck.h"

namespace qv::cli {

RangeArgument ParseRange(const std::string& text) {
    if (text == "all") return {};
    const auto colon = text.find(':');
    if (colon == std::string::npos) throw BadInput("--range takes 'all' or START_KB:SIZE_KB");
    RangeArgument range{false, text.substr(0, colon), text.substr(colon + 1)};
    ParseDecimalArgument("range start", range.startText, 0x3FFFFF);
    if (ParseDecimalArgument("range size", range.sizeText, 0x3FFFFF) == 0)
        throw BadInput("--range " + text + " is empty: SIZE_KB must be 1 or more");
    return range;
}

AutoRequest RequestFrom(const FlashArguments& args, const RangeArgument& range) {
    return {
        args.steps, range.wholeFlash, range.startText, range.sizeText, args.file, args.changedOnly,
        true};
}

void CheckRangeFits(ProgramFile& program, const RangeArgument& range, bool walks,
                    bool sectorErase) {
    ApplyRangeChoice(program, range.wholeFlash, range.startText, range.sizeText);
    if (const auto refusal =
            JobRangeRefusal(program, range.wholeFlash, walks, sectorErase && !range.wholeFlash))
        throw BadInput(*refusal);
}

void AddRangeOption(CLI::App* command, FlashArguments& args) {
    command->add_option("--range", args.range, "all, or START_KB:SIZE_KB")
        ->type_name("all|START_KB:SIZE_KB")
        ->capture_default_str();
}

void AddStepSwitch(CLI::App* command, FlashArguments& args, bool AutoSteps::*step) {
    for (const AutoStepName& named : kAutoStepNames)
        if (named.step == step)
            command->add_flag_callback(
                std::string("--no-") + named.name, [&args, step] { args.steps.*step = false; },
                named.skipHelp);
}

void AddSequenceOptions(CLI::App* command, FlashArguments& args) {
    AddRangeOption(command, args);
    for (const AutoStepName& named : kAutoStepNames)
        if (named.step != &AutoSteps::reloadFile) AddStepSwitch(command, args, named.step);
    command->add_flag("--changed-only", args.changedOnly,
                      "Erase, program and verify only the 4 KB sectors that differ from FILE");
}

CLI::Option* AddReadBlock(CLI::App* command, FlashArguments& args) {
    return command
        ->add_option("--read-block", args.readBlock,
                     "Bytes per read request, 1 to 255 (for chips known to answer more)")
        ->type_name("1..255")
        ->check(Unlabelled(CLI::Range(1u, 255u)))
        ->capture_default_str();
}

AutoRequest LoadedRequest(const FlashArguments& args, const RangeArgument& range) {
    AutoRequest request = RequestFrom(args, range);
    request.steps.reloadFile = false;
    return request;
}

void UseImage(ProgramFile& program, const std::string& file, const ProgramFileContent& content) {
    program.ProgramFileName = file;
    program.ProgramImage = content.image;
    program.ProgramFileReady = true;
}

void FixInJob(const FlashArguments& flash, Job& job) {
    job.range = flash.range;
    job.steps = flash.steps;
    job.changedOnly = flash.changedOnly;
    job.readBlock = flash.readBlock;
    job.serial = flash.serial;
}

FlashArguments FlashArgumentsOf(const LoadedJob& loaded) {
    FlashArguments flash;
    flash.file = loaded.imagePath;
    flash.range = loaded.job.range;
    flash.steps = loaded.job.steps;
    flash.changedOnly = loaded.job.changedOnly;
    flash.readBlock = loaded.job.readBlock;
    flash.serial = loaded.job.serial;
    return flash;
}

}  // namespace qv::cli
