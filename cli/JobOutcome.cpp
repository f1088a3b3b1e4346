#include "cli/JobOutcome.h"

namespace qv::cli {

int ExitCodeOf(const JobResult& result) {
    switch (result.kind) {
        case FailureKind::None:
            return kExitSuccess;
        case FailureKind::Refused:
            return kExitBadInput;
        default:
            return kExitFailed;
    }
}

std::string TrimmedText(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string MessageOf(const JobResult& result) {
    if (result.kind == FailureKind::DeviceGone)
        return "The board is gone (unplugged, or its USB link failed): " + TrimmedText(result.text);
    return TrimmedText(result.text);
}

void ThrowFailure(const JobResult& result) {
    if (ExitCodeOf(result) == kExitBadInput) throw BadInput(MessageOf(result));
    throw JobFailed(result, MessageOf(result));
}

void RecordResult(RunRecord& record, const JobResult& result) {
    record.exitCode = ExitCodeOf(result);
    record.ok = record.exitCode == kExitSuccess;
    record.message = MessageOf(result);
    record.failure = result.Ok() ? "" : KindName(result.kind);
}

}  // namespace qv::cli
