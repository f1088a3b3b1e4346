#include "cli/JobOutcome.h"

namespace qv::cli {

int ExitCodeOf(const JobResult& result) {
    switch (result.kind) {
        case FailureKind::None:
            return kExitSuccess;
        case FailureKind::Refused:
            return kExitBadInput;
        case FailureKind::NoDevice:
            return kExitNoDevice;
        default:
            return kExitFailed;
    }
}

std::string TrimmedText(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string MessageOf(const JobResult& result) {
    const std::string unprotected =
        result.leftUnprotected ? "; the flash was left unprotected (Protect Flash Fail)" : "";
    if (result.kind == FailureKind::DeviceGone)
        return "The board is gone (unplugged, or its USB link failed): " +
               TrimmedText(result.text) + unprotected;
    return TrimmedText(result.text) + unprotected;
}

void ThrowFailure(const JobResult& result) {
    if (ExitCodeOf(result) == kExitBadInput) throw BadInput(MessageOf(result));
    if (ExitCodeOf(result) == kExitNoDevice) throw NoDevice(MessageOf(result));
    throw JobFailed(result, MessageOf(result));
}

static std::string CauseOf(Reply reply) {
    switch (reply) {
        case Reply::Refused:
            return " (the chip refused a request)";
        case Reply::Short:
            return " (an answer came back short)";
        case Reply::NotReady:
            return " (the chip did not finish)";
        default:
            return "";
    }
}

void RequireDone(const QuorvexUsb& device, Reply reply, const std::string& what) {
    if (reply == Reply::Done) return;
    if (reply == Reply::Gone || device.Gone())
        ThrowFailure(Failure(FailureKind::DeviceGone, std::nullopt, what));
    if (reply == Reply::NoAnswer || device.Unanswering())
        ThrowFailure(Failure(FailureKind::NotAnswering));
    ThrowFailure(Failure(FailureKind::RequestFailed, std::nullopt, what + CauseOf(reply)));
}

void RecordResult(RunRecord& record, const JobResult& result) {
    record.exitCode = ExitCodeOf(result);
    record.ok = record.exitCode == kExitSuccess;
    record.message = MessageOf(result);
    record.failure = result.Ok() ? "" : KindName(result.kind);
}

}  // namespace qv::cli
