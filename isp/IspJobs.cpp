#include "isp/IspJobs.h"

#include <optional>

#include "chip/FlashRequests.h"
#include "common/AtomicFile.h"
#include "common/HexFormat.h"
#include "common/TypedNumber.h"
#include "device/OpenedDevice.h"
#include "image/RangeChoice.h"
#include "isp/ChangedSectors.h"
#include "isp/FlashWalks.h"
#include "isp/RangeCheck.h"

namespace qv {
namespace {

constexpr int kStatusWaitPolls = 1000;
constexpr std::uint8_t kUnprotectedStatus = 0x00;
constexpr std::uint8_t kProtectedStatus = 0xFF;
constexpr std::uint8_t kBusyBit = 0x01;
constexpr std::uint8_t kBlockProtectBits = 0x1C;
constexpr std::uint8_t kStatusRegisterProtect = 0x80;

// Holds a flag raised for the length of one job.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
};

// One button job: marks the jobs busy and forgets a stop request left from an earlier job.
class JobGuard {
public:
    JobGuard(bool& busy, bool& stopRequested) : busy_(busy) {
        busy_ = true;
        stopRequested = false;
    }
    ~JobGuard() { busy_ = false; }
    JobGuard(const JobGuard&) = delete;
    JobGuard& operator=(const JobGuard&) = delete;

private:
    bool& busy_;
};

// The documented steps a request runs: the changed-only mode does the work of erase, blank
// check, program and verify in a walk of its own, over the image's range only.
AutoSteps StepsRun(const AutoRequest& request) {
    AutoSteps steps = request.steps;
    if (request.changedOnly) steps.erase = steps.blank = steps.program = steps.verify = false;
    return steps;
}

}  // namespace

FlashRange ImageRange(const ProgramFile& program, bool wholeFlash) {
    const std::uint32_t start = wholeFlash ? 0 : program.RangeStart;
    return {start, start + program.ProgramImage.LoadedLength};
}

IspJobs::IspJobs(QuorvexUsb& device, IspView& view, ProgramFile& program, FlashContext& flash)
    : ReadBackBuffer(kReadBackBufferSize, 0),
      device_(device),
      view_(view),
      program_(program),
      flash_(flash) {}

// The Erase button leaves the protection as it is; a protected flash would ignore the erase,
// so it fails here instead of reporting an erase that did not happen.
bool IspJobs::Erase(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    {
        OpenedDevice open(device_);
        if (!wholeFlash && !IdentifyAndCheckRange(wholeFlash, false, true)) return false;
        if (ReadFlashStatus(device_) & (kBlockProtectBits | kStatusRegisterProtect)) {
            view_.ShowProcessInfo("Erase Flash Fail");
            StepFailed = true;
            return false;
        }
    }
    return EraseStep(wholeFlash);
}

bool IspJobs::ClearProtectionAndErase(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    {
        OpenedDevice open(device_);
        if (!wholeFlash && !IdentifyAndCheckRange(wholeFlash, false, true)) return false;
        if (!ClearStatusRegister()) return false;
    }
    return EraseStep(wholeFlash);
}

// A status register that keeps its protection after the clear (its lock bit held by the
// write-protect pin, or bits that cannot be cleared) ignores every erase and program: the
// job fails here instead of reporting work the flash did not do.
bool IspJobs::ClearStatusRegister() {
    view_.ShowProcessInfo("Clear Status register");
    WriteEnable(device_);
    WriteFlashStatus(device_, kUnprotectedStatus);
    WaitWhileBusy();
    return RefuseProtected(ReadFlashStatus(device_), kBlockProtectBits | kStatusRegisterProtect);
}

bool IspJobs::CheckNotProtected() {
    return RefuseProtected(ReadFlashStatus(device_), kBlockProtectBits);
}

bool IspJobs::RefuseProtected(std::uint8_t status, std::uint8_t protectionBits) {
    if ((status & protectionBits) == 0) return true;
    view_.ShowProcessInfo(device_.Unanswering()
                              ? kChipSilentText
                              : "Flash is write-protected (status 0x" + Hex2(status) + ")");
    StepFailed = true;
    return false;
}

bool IspJobs::IdentifyAndCheckRange(bool wholeFlash, bool walks, bool sectorErase) {
    IdentifyFlash();
    const auto refusal = JobRangeRefusal(program_, wholeFlash, walks, sectorErase, flash_.ChipId);
    if (!refusal) return true;
    view_.ShowProcessInfo(*refusal);
    StepFailed = true;
    return false;
}

bool IspJobs::EraseStep(bool wholeFlash) {
    OpenedDevice open(device_);
    FlashWalks walks(device_, view_, flash_, StopRequested);
    const bool finished = wholeFlash ? walks.EraseWholeChip()
                                     : walks.EraseSectors(program_.RangeStart, program_.RangeSize);
    if (!finished && !StopRequested)
        view_.ShowProcessInfo(device_.Unanswering() ? kChipSilentText : "Erase Flash Fail");
    if (!finished) StepFailed = true;
    return finished;
}

bool IspJobs::BlankWalk(FlashRange range) {
    return FlashWalks(device_, view_, flash_, StopRequested)
        .BlankCheckRange(range.start, range.end);
}

bool IspJobs::ProgramWalk(FlashRange range) {
    const ImagePlacement placement{program_.ProgramImage.Bytes, program_.RangeStart};
    return FlashWalks(device_, view_, flash_, StopRequested)
        .ProgramRange(range.start, range.end, placement);
}

bool IspJobs::VerifyWalk(FlashRange range) {
    const ImagePlacement placement{program_.ProgramImage.Bytes, program_.RangeStart};
    return FlashWalks(device_, view_, flash_, StopRequested)
        .VerifyRange(range.start, range.end, placement);
}

bool IspJobs::ChangedSectorsWalk(FlashRange range, bool wholeFlash) {
    const ImagePlacement placement{program_.ProgramImage.Bytes, program_.RangeStart};
    return ChangedSectors(device_, view_, flash_, StopRequested)
        .Rewrite(range.start, range.end, placement, wholeFlash);
}

bool IspJobs::BlankCheck(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    view_.ShowProcessInfo("Start Blanking Check");
    OpenedDevice open(device_);
    if (!IdentifyAndCheckRange(wholeFlash, true, false)) return false;
    const bool ok = BlankWalk(ImageRange(program_, wholeFlash));
    if (ok) view_.ShowProcessInfo("Blanking Success");
    return ok;
}

void IspJobs::IdentifyFlash() {
    ReadChipId(device_, flash_);
    flash_.FlashPageSize = PageSizeFor(flash_.ChipId);
}

bool IspJobs::ProgramStep(bool wholeFlash) {
    const bool ok = ProgramWalk(ImageRange(program_, wholeFlash));
    if (ok) view_.ShowProcessInfo("Programming Success");
    return ok;
}

bool IspJobs::VerifyStep(bool wholeFlash) {
    const bool ok = VerifyWalk(ImageRange(program_, wholeFlash));
    if (ok) view_.ShowProcessInfo("Verifying Success");
    return ok;
}

bool IspJobs::Program(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    view_.ShowProcessInfo("Start Programming...");
    OpenedDevice open(device_);
    return IdentifyAndCheckRange(wholeFlash, true, false) && ProgramStep(wholeFlash);
}

bool IspJobs::Verify(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    view_.ShowProcessInfo("Start Verifying Check");
    OpenedDevice open(device_);
    return IdentifyAndCheckRange(wholeFlash, true, false) && VerifyStep(wholeFlash);
}

bool IspJobs::ProgramAndVerify(bool wholeFlash, bool verify) {
    JobGuard job(busy_, StopRequested);
    view_.ShowProcessInfo("Start Programming...");
    OpenedDevice open(device_);
    if (!IdentifyAndCheckRange(wholeFlash, true, false) || !CheckNotProtected() ||
        !ProgramStep(wholeFlash))
        return false;
    if (!verify) return true;
    view_.ShowProcessInfo("Start Verifying Check");
    return VerifyStep(wholeFlash);
}

bool IspJobs::ReadBack() {
    JobGuard job(busy_, StopRequested);
    view_.ShowProcessInfo("Read Flash data back");
    OpenedDevice open(device_);
    readBack_ = {0, kReadBackEnd};
    readBackSucceeded_ = FlashWalks(device_, view_, flash_, StopRequested)
                             .ReadBackRange(0, kReadBackEnd, ReadBackBuffer);
    return readBackSucceeded_;
}

bool IspJobs::ReadBackRange(std::optional<FlashRange> range) {
    JobGuard job(busy_, StopRequested);
    view_.ShowProcessInfo("Read Flash data back");
    OpenedDevice open(device_);
    readBackSucceeded_ = false;
    IdentifyFlash();
    const std::uint64_t capacity = FlashCapacity(flash_.ChipId);
    readBack_ = range.value_or(FlashRange{0, static_cast<std::uint32_t>(capacity)});
    if (const auto refusal = FlashSizeRefusal(readBack_.start, readBack_.end - readBack_.start,
                                              flash_.ChipId)) {
        view_.ShowProcessInfo(*refusal);
        return false;
    }
    readBackSucceeded_ = FlashWalks(device_, view_, flash_, StopRequested)
                             .ReadBackRange(readBack_.start, readBack_.end, ReadBackBuffer);
    return readBackSucceeded_;
}

bool IspJobs::SaveReadBack(const std::string& path) {
    const auto bytes =
        std::span(ReadBackBuffer).subspan(readBack_.start, readBack_.end - readBack_.start);
    if (!WriteFileAtomically(path, bytes)) {
        view_.ShowProcessInfo("Cannot write " + path);
        return false;
    }
    // A read that failed keeps its failure text: the file holds 0x5A where blocks were unread.
    if (readBackSucceeded_) view_.ShowProcessInfo(kReadBackSuccessText);
    return true;
}

bool IspJobs::WaitWhileBusy() {
    return FlashWalks(device_, view_, flash_, StopRequested).WaitWhileBusy(kStatusWaitPolls);
}

// Loads the file the combo names when asked to, and refuses to go on without an image for
// a program or verify step: nothing is erased for a file that is not there.
bool IspJobs::PrepareImage(const AutoRequest& request) {
    if (request.steps.reloadFile) {
        if (request.fileText != program_.ProgramFileName)
            program_.ProgramFileName = request.fileText;
        const ProgramFileReport report = ReadProgramFile(program_);
        if (!report.checksumText.empty()) view_.ShowChecksum(report.checksumText);
        if (report.outcome != ProgramFileOutcome::Loaded) {
            view_.ShowMessage(kProgramFileNotReadyText);
            return false;
        }
    }
    const bool needsImage = request.steps.program || request.steps.verify || request.changedOnly;
    if (needsImage && program_.ProgramImage.LoadedLength == 0) {
        view_.ShowMessage(kProgramFileNotReadyText);
        return false;
    }
    return true;
}

AutoOutcome IspJobs::Auto(const AutoRequest& request, bool& autoBusy) {
    if (running_) {
        StopRequested = true;
        return AutoOutcome::StopAsked;
    }
    if (busy_) return AutoOutcome::Refused;
    StepFailed = false;
    if (!device_.IsPresent()) {
        view_.ShowMessage(kDeviceNotAvailableText);
        return AutoOutcome::Refused;
    }
    if (!program_.ProgramFileReady && request.fileText.empty()) {
        view_.ShowMessage(kProgramFileNotReadyText);
        return AutoOutcome::Refused;
    }
    FlagGuard busyGuard(autoBusy);
    FlagGuard jobGuard(busy_);
    FlagGuard runningGuard(running_);
    StopRequested = false;
    if (!PrepareImage(request)) return AutoOutcome::Refused;
    // A range text that does not convert ends the click before anything is sent.
    try {
        if (!request.wholeFlash)
            ApplyRangeChoice(program_, false, request.startText, request.sizeText);
    } catch (const ConversionError& error) {
        view_.ShowMessage(error.what());
        return AutoOutcome::Refused;
    }
    // A range no flash can hold is refused before anything is sent.
    if (const auto refusal = JobRangeRefusal(program_, request.wholeFlash, true,
                                             !request.wholeFlash && StepsRun(request).erase)) {
        view_.ShowMessage(*refusal);
        return AutoOutcome::Refused;
    }
    return RunSequence(request, ImageRange(program_, request.wholeFlash));
}

void IspJobs::RunCheckedStep(bool chosen, const char* startText, const char* successText,
                             bool (IspJobs::*walk)(FlashRange), FlashRange range) {
    if (!chosen || StepFailed || StopRequested) return;
    view_.ShowProcessInfo(startText);
    StepFailed = !(this->*walk)(range);
    if (!StepFailed) view_.ShowProcessInfo(successText);
    if (StepFailed && device_.Unanswering()) view_.ShowProcessInfo(kChipSilentText);
}

// The protection step checks what it did: the block-protect bits must read set afterwards. A
// busy flash ignores the write enable and the status write, so an erase a stop request left
// running is waited for first, for as long as a whole chip erase may take.
bool IspJobs::ProtectFlash() {
    if (StopRequested)
        FlashWalks(device_, view_, flash_, StopRequested)
            .WaitWhileBusy(ChipErasePolls(flash_.ChipId));
    WriteEnable(device_);
    WriteFlashStatus(device_, kProtectedStatus);
    WaitWhileBusy();
    const std::uint8_t status = ReadFlashStatus(device_);
    return (status & (kBusyBit | kBlockProtectBits)) == kBlockProtectBits;
}

bool IspJobs::LeaveIspMode() { return SetIspMode(device_, IspMode::Leave); }

AutoOutcome IspJobs::RunSequence(const AutoRequest& request, FlashRange range) {
    const AutoSteps steps = StepsRun(request);
    view_.ShowProcessInfo("Enter ISP Mode");
    view_.PumpEvents();
    device_.Open();
    if (steps.ispMode) SetIspMode(device_, IspMode::Enter);
    // A range beyond the identified flash: nothing is erased, written or protected.
    const bool rangeFits =
        IdentifyAndCheckRange(request.wholeFlash, true, !request.wholeFlash && steps.erase);
    if (rangeFits && steps.erase && !StopRequested && ClearStatusRegister())
        EraseStep(request.wholeFlash);  // opens the device anew and closes it
    if (rangeFits && request.changedOnly && !StopRequested && ClearStatusRegister())
        StepFailed = !ChangedSectorsWalk(range, request.wholeFlash);
    device_.Open();
    RunCheckedStep(steps.blank, "Start Blanking Check", "Blanking Success", &IspJobs::BlankWalk,
                   range);
    RunCheckedStep(steps.program, "Start Programming", "Programming Success", &IspJobs::ProgramWalk,
                   range);
    RunCheckedStep(steps.verify, "Start Verifying Check", "Verifying Success", &IspJobs::VerifyWalk,
                   range);
    // The clean-up is tried whatever failed before it; its own failure is reported when it is
    // the first one, so the text always names the step that went wrong first.
    const bool protectFailed = rangeFits && steps.protect && !ProtectFlash();
    const bool exitFailed = steps.ispMode && !LeaveIspMode();
    device_.Close();
    // A chip that went silent is the cause whatever step noticed it first.
    const bool earlierFailure = StepFailed || StopRequested;
    if (device_.Unanswering())
        view_.ShowProcessInfo(kChipSilentText);
    else if (!earlierFailure && (protectFailed || exitFailed))
        view_.ShowProcessInfo(protectFailed ? "Protect Flash Fail" : "Exit ISP Fail");
    if (StopRequested) {
        if (!StepFailed) view_.ShowProcessInfo("Stopped at " + Address6(range.start));
        return AutoOutcome::Stopped;
    }
    if (protectFailed || exitFailed) StepFailed = true;
    return StepFailed ? AutoOutcome::Failed : AutoOutcome::Succeeded;
}

}  // namespace qv
