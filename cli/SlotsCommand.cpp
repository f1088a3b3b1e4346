#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "cli/CliErrors.h"
#include "cli/Commands.h"
#include "cli/DryRun.h"
#include "cli/OptionChecks.h"
#include "cli/Session.h"
#include "cli/SlotLearning.h"
#include "cli/StopSignal.h"
#include "common/OutputFile.h"

namespace qv::cli {
namespace {

struct SlotsArguments {
    std::string job;
    unsigned count = 0;
};

// Asks on standard error, so that standard output holds only the slot map learned.
class AskOnTerminal : public SlotLearningFront {
public:
    void Ask(const std::string& label) override {
        std::cerr << "Plug a board into " << label << " (Ctrl-C ends)\n";
    }
    void Learned(const JobSlot& slot) override {
        std::cout << slot.port << " = " << slot.label << "\n" << std::flush;
    }
    void SeveralBoards(const std::string& label) override {
        std::cerr
            << "Several boards are plugged in that are not learned yet: leave only the one in "
            << label << "\n";
    }
    bool StopRequested() override { return StopOnSignal::Requested(); }
};

void LearnOnBus(Session& session, const SlotsArguments& args, const LoadedJob& loaded,
                unsigned count) {
    AskOnTerminal front;
    std::optional<std::vector<JobSlot>> learned;
    {
        StopOnSignal stopOnSignal;
        learned = LearnSlots(session.Host(), session.UserDeviceMatch(), SlotLabels(count), front);
    }
    if (!learned) throw OperationFailed("Stopped: the job " + args.job + " is unchanged");
    if (const auto problem = WriteJobSlots(args.job, loaded.job, *learned))
        throw OperationFailed(*problem);
    std::cerr << "Wrote " << count << " slots to " << args.job << "\n";
}

// Asks for a board in each slot in turn, then writes the ports into the job.
Plan LearningPlan(const SlotsArguments& args, unsigned count) {
    if (const auto problem = OutputProblem(args.job))
        throw BadInput("Cannot write " + args.job + ": " + *problem);
    Plan plan;
    for (const std::string& label : SlotLabels(count))
        plan.Step("learn_slot", "Wait for a board in " + label + " alone and take its port")
            .Add("slot", label);
    plan.Step("write_file", "Write the ports of the " + std::to_string(count) + " slot" +
                                (count == 1 ? "" : "s") + " into " + args.job)
        .Add("file", args.job)
        .Add("slots", count);
    return plan;
}

void LearnJobSlots(const GlobalOptions& options, const SlotsArguments& args) {
    const LoadedJob loaded = ReadJobFile(args.job);
    const unsigned count =
        args.count > 0 ? args.count : static_cast<unsigned>(loaded.job.fixtureSlots.size());
    if (count == 0) throw BadInput("The job has no slots yet: say how many with --count");
    Perform(options, [&] { return LearningPlan(args, count); },
            [&](Session& session) { LearnOnBus(session, args, loaded, count); });
}

}  // namespace

void AddSlotsCommand(CLI::App& app, GlobalOptions& options) {
    auto* slots = app.add_subcommand("slots", "A fixture's slots: which USB port each one is");
    slots->require_subcommand(1);
    auto args = std::make_shared<SlotsArguments>();
    auto* learn = slots->add_subcommand(
        "learn", "Ask for a board in each slot in turn and write the ports into the job");
    learn->add_option("job", args->job, "The job file (.qvjob) whose slots are learned")
        ->required();
    learn
        ->add_option("--count", args->count,
                     "The fixture's number of slots (default: as many as the job has)")
        ->type_name("1..64")
        ->check(Unlabelled(CLI::Range(1u, 64u)));
    learn->callback([&options, args] { LearnJobSlots(options, *args); });
}

}  // namespace qv::cli
