#pragma once

#include <string>

#include "cli/CliErrors.h"
#include "cli/RunRecord.h"
#include "isp/JobResult.h"

namespace qv::cli {

// A flash job that ran and failed, with its result.
struct JobFailed : OperationFailed {
    explicit JobFailed(const JobResult& failed, const std::string& message)
        : OperationFailed(message), result(failed) {}
    JobResult result;
};

// The one place a job's result becomes the command line's: its exit code (0 success, 2 refused
// before anything was sent, 1 any other failure) and its message (the window's text, but for a
// board that is gone, which the message says in so many words).
int ExitCodeOf(const JobResult& result);
std::string MessageOf(const JobResult& result);
// Ends the command with the failure: BadInput for a refusal, JobFailed otherwise.
[[noreturn]] void ThrowFailure(const JobResult& result);
// Fills the record's outcome: ok, exit code, message and the failure's kind.
void RecordResult(RunRecord& record, const JobResult& result);

}  // namespace qv::cli
