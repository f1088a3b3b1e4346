#include "cli/SlotLearning.h"

#include <algorithm>
#include <set>

#include "common/OutputFile.h"
#include "device/host/InterfacePath.h"
#include "isp/GangFlash.h"

namespace qv::cli {
namespace {

constexpr std::uint32_t kPollMs = 330;

}  // namespace

std::vector<std::string> SlotLabels(unsigned count) {
    std::vector<std::string> labels;
    for (unsigned slot = 1; slot <= count; ++slot) labels.push_back("Slot " + std::to_string(slot));
    return labels;
}

std::optional<std::vector<JobSlot>> LearnSlots(DeviceHost& host, const std::string& userDeviceMatch,
                                               const std::vector<std::string>& labels,
                                               SlotLearningFront& front) {
    std::vector<JobSlot> learned;
    std::set<std::string> learnedPorts;
    for (const std::string& label : labels) {
        front.Ask(label);
        bool toldSeveral = false;
        for (;;) {
            if (front.StopRequested()) return std::nullopt;
            std::set<std::string> fresh;
            // A listing that could not be obtained is no board: the next poll looks again.
            if (const auto listed = ListGangTargets(host, userDeviceMatch))
                for (const GangTarget& target : *listed)
                    if (const std::string port = SelectorOf(target.path); !learnedPorts.contains(port))
                        fresh.insert(port);
            if (fresh.size() == 1) {
                learned.push_back({*fresh.begin(), label});
                learnedPorts.insert(*fresh.begin());
                front.Learned(learned.back());
                break;
            }
            if (fresh.size() > 1 && !toldSeveral) {
                front.SeveralBoards(label);
                toldSeveral = true;
            }
            host.Sleep(kPollMs);
        }
    }
    return learned;
}

std::optional<std::string> WriteJobSlots(const std::string& jobFile, Job job,
                                         std::vector<JobSlot> slots) {
    job.fixtureSlots = std::move(slots);
    const std::string text = JobText(job);
    if (const auto problem = WriteOutput(
            jobFile, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())))
        return "Cannot write " + jobFile + ": " + *problem;
    return std::nullopt;
}

}  // namespace qv::cli
