#pragma once

#include <string>

#include "cli/CliErrors.h"
#include "device/QuorvexUsb.h"
#include "isp/JobResult.h"
#include "line/RunRecord.h"

namespace qv::cli {

// A flash job that ran and failed, with its result.
struct JobFailed : OperationFailed {
    explicit JobFailed(const JobResult& failed, const std::string& message)
        : OperationFailed(message), result(failed) {}
    JobResult result;
};

// A window text as the command line shows it: without the blanks and the growing run of full
// stops at its end ("Flash Erase All ........." is "Flash Erase All").
std::string TrimmedText(std::string text);

// The one place a job's result becomes the command line's: its exit code (0 success, 2 refused
// before anything was sent, 1 any other failure) and its message (the window's text, trimmed,
// but for a board that is gone, which the message says in so many words).
int ExitCodeOf(const JobResult& result);
std::string MessageOf(const JobResult& result);
// Ends the command with the failure: BadInput for a refusal, JobFailed otherwise.
[[noreturn]] void ThrowFailure(const JobResult& result);
// A command's chip operation that did not go through ends the command with its cause, decided
// here for every command: the board gone, the chip silent ("The chip does not answer"), else
// `what` ("Register read of 0x10 failed") and the reply's cause.
void RequireDone(const QuorvexUsb& device, Reply reply, const std::string& what);
// Fills the record's outcome: ok, exit code, message and the failure's kind.
void RecordResult(RunRecord& record, const JobResult& result);

}  // namespace qv::cli
