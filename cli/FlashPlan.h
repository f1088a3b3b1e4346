#pragma once

#include <string>

#include "cli/DryRun.h"
#include "cli/FlashOptions.h"

namespace qv::cli {

struct Reporting;

// The plans of the flash commands for --dry-run. Each checks its input as the run does before
// anything is sent (the program file read once, the range against the address space, the
// output writable, what --serial needs), refusing with BadInput, then lists the steps the run
// would take and the flash addresses each covers.

// erase, program and read-back: ISP mode around the one step.
Plan ErasePlan(const FlashArguments& args);
Plan ProgramPlan(const FlashArguments& args);
Plan ReadBackPlan(const FlashArguments& args);
// The automatic sequence on each board `boards` says ("the board", "every attached matching
// device at once", ...): flash, flash --all and station.
Plan SequencePlan(const FlashArguments& args, const Reporting& reporting,
                  const std::string& boards);

}  // namespace qv::cli
