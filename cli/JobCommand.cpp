#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/DryRun.h"
#include "cli/FlashOptions.h"
#include "common/OutputFile.h"
#include "line/JobFile.h"
#include "line/RecordErrors.h"
#include "line/RunRecord.h"

namespace qv::cli {
namespace {

struct JobArguments {
    std::string out;
    std::string name;
    FlashArguments flash;
    std::string database;
    std::string station;
    std::vector<std::string> slots;  // PORT=LABEL
};

// The job's image as the station finds it: relative to the job file's folder.
std::string ImageBesideJob(const std::string& image, const std::string& job) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::absolute(job).parent_path();
    return fs::absolute(image).lexically_relative(folder).generic_string();
}

void CreateJob(const GlobalOptions& options, const JobArguments& args) {
    const ProgramFileRead read = ReadProgramFileOnce(args.flash.file);
    if (read.problem) throw BadInput(*read.problem);
    ProgramFile image;
    UseImage(image, args.flash.file, read.content);
    CheckRangeFits(image, ParseRange(args.flash.range), true, args.flash.steps.erase);
    RunRecord described;
    DescribeFile(described, args.flash.file, read.content);

    Job job;
    job.name =
        args.name.empty() ? std::filesystem::path(args.flash.file).stem().string() : args.name;
    job.image = ImageBesideJob(args.flash.file, args.out);
    job.sha256 = described.sha256;
    FixInJob(args.flash, job);
    job.database = args.database;
    job.station = args.station;
    for (const std::string& slot : args.slots) {
        const std::size_t equals = slot.find('=');
        if (equals == std::string::npos) throw BadInput("--slot " + slot + ": PORT=LABEL");
        job.fixtureSlots.push_back({slot.substr(0, equals), slot.substr(equals + 1)});
    }
    std::string text;
    try {
        text = JobText(job);
    } catch (const RecordsRefused& error) {
        throw BadInput(std::string("The job cannot be written as given: ") + error.what());
    }
    const auto planned = [&] {
        if (const auto problem = OutputProblem(args.out))
            throw BadInput("Cannot write " + args.out + ": " + *problem);
        Plan plan;
        plan.Step("write_file", "Write the job " + job.name + " to " + args.out + " (" + job.image +
                                    ", SHA-256 " + job.sha256 + ", " +
                                    std::to_string(text.size()) + " bytes)")
            .Add("file", args.out)
            .Add("job", job.name)
            .Add("image", job.image)
            .Add("sha256", job.sha256);
        return plan;
    };
    PerformOnFiles(options, planned, [&] {
        if (const auto problem = WriteOutput(
                args.out, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())))
            throw OperationFailed("Cannot write " + args.out + ": " + *problem);
        std::cout << "Wrote job " << job.name << " to " << args.out << " (" << job.image
                  << ", SHA-256 " << job.sha256.substr(0, 12) << "...)\n";
    });
}

}  // namespace

void AddJobCommand(CLI::App& app, const GlobalOptions& options) {
    auto* job = app.add_subcommand("job", "Station job files");
    job->require_subcommand(1);
    auto args = std::make_shared<JobArguments>();
    auto* create = job->add_subcommand(
        "create", "Write a job file: the image and how every station of a line flashes it");
    create->add_option("out", args->out, "The job file to write (.qvjob)")->required();
    create->add_option("--image", args->flash.file, "The .bin or .h00 program file")
        ->type_name("FILE")
        ->required();
    create->add_option("--name", args->name, "The job's name (default: the image file's)")
        ->type_name("NAME");
    AddSequenceOptions(create, args->flash);
    AddReadBlock(create, args->flash);
    create
        ->add_option("--serial", args->flash.serial,
                     "Each board's serial number format, e.g. QVUA{yy}{mm}{seq:06}")
        ->type_name("FORMAT");
    create->add_option("--db", args->database, "The database URL the stations use (no password)")
        ->type_name("URL");
    create->add_option("--station", args->station, "The station name")->type_name("NAME");
    create->add_option("--slot", args->slots, "A fixture slot: PORT=LABEL, e.g. 1-3.2='Slot 4'")
        ->type_name("PORT=LABEL");
    create->callback([&options, args] { CreateJob(options, *args); });
}

}  // namespace qv::cli
