#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/Reply.h"

namespace qv {

// Why a flash job did not succeed: one kind, decided where the failure was found and carried
// unchanged to the window's label, the command line's verdict and exit code, and the log.
enum class FailureKind {
    None,             // the job did everything it was asked to
    Refused,          // not started: bad input, no program file, a bad range text
    NoDevice,         // not started: no device found, the one named absent, or not permitted
    RangeBeyondFlash, // the range does not fit the identified flash; nothing was changed
    DeviceGone,       // the device could not be opened or vanished
    NotAnswering,     // the chip stopped answering (requests timed out)
    IdentifyFailed,   // the flash identification did not arrive
    StatusUnreadable, // a status read the job depends on did not arrive
    StatusWriteFailed,
    WriteProtected,   // the flash's block protection stayed set
    EraseFailed,
    BlankCheckFailed,
    ProgramFailed,
    VerifyFailed,
    ReadFailed,       // a read back, or changed-only's comparison, could not read a block
    KeptBytesLost,    // bytes outside the range were erased and could not be written back
    ProtectFailed,
    IspEntryFailed,
    IspExitFailed,
    Stopped,          // a stop request (the Stop button, Ctrl-C) ended it
    OutputNotWritten, // the file the job writes could not be written
    RequestFailed,    // a request of a register, I2C, mailbox or status command did not go through
    NotAcknowledged,  // an I2C slave refused its address or a byte
    NoSerialNumber,   // the board's serial number could not be taken; nothing was written
};

// How a job ended: the kind, the flash address it concerns where there is one, and the text
// the window shows for it (its documented texts where it has one).
struct [[nodiscard]] JobResult {
    FailureKind kind = FailureKind::None;
    std::optional<std::uint32_t> address;
    std::string text;
    // A sequence that failed and whose protection step failed after it: the flash was left
    // unprotected (the window shows the first failure's documented text; the command line
    // says this too).
    bool leftUnprotected = false;

    bool Ok() const { return kind == FailureKind::None; }
};

inline JobResult Succeeded(std::string text = {}) {
    return {FailureKind::None, std::nullopt, std::move(text)};
}

// The failure of kind at address, with its text: the documented texts ("Erase Flash Fail",
// "Blanking Fail at 0x000040", ...) and the tool's own for the rest. detail is the text of the
// kinds that carry their own ("Range beyond the flash (1024 KB)", the status read, the span
// lost, the file that could not be written).
JobResult Failure(FailureKind kind, std::optional<std::uint32_t> address = std::nullopt,
                  const std::string& detail = {});

// A request or operation that did not go through, as the failure of a job: a device gone or
// silent is that, whatever the step; any other reply is the step's own kind.
JobResult FailureOf(Reply reply, FailureKind stepKind,
                    std::optional<std::uint32_t> address = std::nullopt);

// The kind's name in the command line's JSON and log ("device_gone", "program_failed", ...).
const char* KindName(FailureKind kind);

}  // namespace qv
