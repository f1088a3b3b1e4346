#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/SimHost.h"

namespace qv::sim {

// One fault chosen by name for a simulated device, armed from a transfer on (counted from 1 as
// the trace counts them): "KIND" or "KIND@N".
struct FaultChoice {
    std::string kind;
    std::uint64_t fromTransfer = 1;
};

// Nothing for a kind the simulator does not know or a transfer number that is not a whole
// number from 1.
std::optional<FaultChoice> ParseFaultChoice(std::string_view text);
// The known kinds, separated by ", ", for messages and help.
std::string FaultKindList();
// Arms the fault on a chip plugged into the host.
void ArmFault(SimHost& host, SimChip& chip, const FaultChoice& fault);

}  // namespace qv::sim
