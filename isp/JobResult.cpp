#include "isp/JobResult.h"

#include "common/HexFormat.h"

namespace qv {
namespace {

struct KindText {
    const char* name;  // for JSON and the log
    const char* text;  // the window's text; an address follows those ending in "at "
};

KindText TextOf(FailureKind kind) {
    switch (kind) {
        case FailureKind::None:
            return {"none", ""};
        case FailureKind::Refused:
            return {"refused", "Refused"};
        case FailureKind::NoDevice:
            return {"no_device", "No device is available"};
        case FailureKind::RangeBeyondFlash:
            return {"range_beyond_flash", "Range beyond the flash"};
        case FailureKind::DeviceGone:
            return {"device_gone", "USB device is NOT available"};
        case FailureKind::NotAnswering:
            return {"not_answering", "The chip does not answer"};
        case FailureKind::IdentifyFailed:
            return {"identify_failed", "Read Flash ID Fail"};
        case FailureKind::StatusUnreadable:
            return {"status_unreadable", "Read Flash Status Fail"};
        case FailureKind::StatusWriteFailed:
            return {"status_write_failed", "Write Flash Status Fail"};
        case FailureKind::WriteProtected:
            return {"write_protected", "Flash is write-protected"};
        case FailureKind::EraseFailed:
            return {"erase_failed", "Erase Flash Fail"};
        case FailureKind::BlankCheckFailed:
            return {"blank_check_failed", "Blanking Fail at "};
        case FailureKind::ProgramFailed:
            return {"program_failed", "Programming Fail at "};
        case FailureKind::VerifyFailed:
            return {"verify_failed", "Verifying Fail at "};
        case FailureKind::ReadFailed:
            return {"read_failed", "Reading Fail at "};
        case FailureKind::KeptBytesLost:
            return {"kept_bytes_lost", "Bytes outside the range lost"};
        case FailureKind::ProtectFailed:
            return {"protect_failed", "Protect Flash Fail"};
        case FailureKind::IspEntryFailed:
            return {"isp_entry_failed", "Enter ISP Fail"};
        case FailureKind::IspExitFailed:
            return {"isp_exit_failed", "Exit ISP Fail"};
        case FailureKind::Stopped:
            return {"stopped", "Stopped at "};
        case FailureKind::OutputNotWritten:
            return {"output_not_written", "Cannot write the output"};
        case FailureKind::RequestFailed:
            return {"request_failed", "A request to the chip failed"};
        case FailureKind::NotAcknowledged:
            return {"not_acknowledged", "The slave did not acknowledge"};
        case FailureKind::NoSerialNumber:
            return {"no_serial_number", "No serial number could be taken"};
    }
    return {"failed", "Fail"};
}

}  // namespace

JobResult Failure(FailureKind kind, std::optional<std::uint32_t> address,
                  const std::string& detail) {
    std::string text = detail;
    if (text.empty()) {
        text = TextOf(kind).text;
        if (text.ends_with("at ")) text += "0x" + Hex6(address.value_or(0));
    }
    return {kind, address, text};
}

JobResult FailureOf(Reply reply, FailureKind stepKind, std::optional<std::uint32_t> address) {
    switch (reply) {
        case Reply::Gone:
            return Failure(FailureKind::DeviceGone, address);
        case Reply::NoAnswer:
            return Failure(FailureKind::NotAnswering, address);
        default:
            return Failure(stepKind, address);
    }
}

const char* KindName(FailureKind kind) { return TextOf(kind).name; }

}  // namespace qv
