#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/host/DeviceHost.h"
#include "line/JobFile.h"

namespace qv::cli {

// What learning a fixture's slots says to the operator, and when it ends early.
class SlotLearningFront {
public:
    virtual ~SlotLearningFront() = default;
    // Plug a board into this slot (one board, or the same board moved on).
    virtual void Ask(const std::string& label) = 0;
    virtual void Learned(const JobSlot& slot) = 0;
    // More than one board not learned yet is plugged in: only one may stay, the one in `label`.
    virtual void SeveralBoards(const std::string& label) = 0;
    virtual bool StopRequested() = 0;
};

// The labels of a fixture of `count` slots: "Slot 1", "Slot 2", ...
std::vector<std::string> SlotLabels(unsigned count);

// Learns which port each slot is: asks for a board in each slot in turn and takes the port a
// board is on that is not learned yet, once it is the only such port (polled about three times
// a second, with the station's rules for which devices are boards). Nothing when a stop came
// first.
std::optional<std::vector<JobSlot>> LearnSlots(DeviceHost& host, const std::string& userDeviceMatch,
                                               const std::vector<std::string>& labels,
                                               SlotLearningFront& front);

// Writes the job, with `slots` as its slot map, back into its file; why it could not, if so.
[[nodiscard]] std::optional<std::string> WriteJobSlots(const std::string& jobFile, Job job,
                                                       std::vector<JobSlot> slots);

}  // namespace qv::cli
