#include "isp/IspJobs.h"

#include <optional>

#include "chip/FlashRequests.h"
#include "common/OutputFile.h"
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
// The stop flag of the clean-up, which a stop request must not cut short.
constexpr bool kNoStop = false;

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

FlashWalks IspJobs::Walks() { return FlashWalks(device_, view_, flash_, StopRequested); }
FlashWalks IspJobs::CleanUpWalks() { return FlashWalks(device_, view_, flash_, kNoStop); }

JobResult IspJobs::Refuse(const std::string& message, const std::string& detail) {
    view_.ShowMessage(message, detail);
    return Failure(FailureKind::Refused, std::nullopt, message);
}

JobResult IspJobs::Finish(JobResult result) {
    // What the front end was asked while the job ended is handled while the job still counts
    // as running, so a click made then only asks an ending job to stop and starts nothing.
    if (busy_) view_.PumpEvents();
    if (!result.Ok() && result.kind != FailureKind::Refused) view_.ShowProcessInfo(result.text);
    // A stop asked for once the last step had passed (the clean-up is never cut short) leaves
    // the job's success, shown over the front end's notice that it was stopping.
    if (result.Ok() && StopRequested && !result.text.empty()) view_.ShowProcessInfo(result.text);
    StepFailed = !result.Ok();
    return result;
}

// The Erase button leaves the protection as it is; a protected flash would ignore the erase,
// so it fails here instead of reporting an erase that did not happen.
JobResult IspJobs::Erase(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    {
        OpenedDevice open(device_);
        if (auto identified = IdentifyAndCheckRange(wholeFlash, false, !wholeFlash);
            !identified.Ok())
            return Finish(identified);
        if (auto unprotected = CheckNotProtected(); !unprotected.Ok())
            return Finish(unprotected.kind == FailureKind::WriteProtected
                              ? Failure(FailureKind::WriteProtected, std::nullopt,
                                        "Erase Flash Fail")
                              : unprotected);
    }
    return Finish(EraseStep(wholeFlash));
}

JobResult IspJobs::ClearProtectionAndErase(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    {
        OpenedDevice open(device_);
        if (auto identified = IdentifyAndCheckRange(wholeFlash, false, !wholeFlash);
            !identified.Ok())
            return Finish(identified);
        if (auto cleared = ClearStatusRegister(); !cleared.Ok()) return Finish(cleared);
    }
    return Finish(EraseStep(wholeFlash));
}

// A status register that keeps its block protection after the clear (its lock bit held by the
// write-protect pin, or bits that cannot be cleared) ignores every erase and program: the job
// fails here instead of reporting work the flash did not do. The lock bit alone protects no
// block.
JobResult IspJobs::ClearStatusRegister() {
    view_.ShowProcessInfo("Clear Status register");
    FlashWalks walks = Walks();
    // Without the write enable the flash ignores the status write: it is not sent.
    const Reply enabled = WriteEnable(device_);
    const Reply sent =
        enabled != Reply::Done ? enabled : WriteFlashStatus(device_, kUnprotectedStatus);
    if (sent != Reply::Done) return walks.Fail(FailureKind::EraseFailed, std::nullopt, sent);
    if (auto idle = walks.WaitWhileBusy(kStatusWaitPolls, FailureKind::EraseFailed); !idle.Ok())
        return idle;
    return CheckNotProtected();
}

JobResult IspJobs::CheckNotProtected() {
    FlashWalks walks = Walks();
    const auto status = walks.ReadStatus();
    if (!status.Ok()) return walks.StatusFailure(status.reply);
    return walks.Protection(status.value).value_or(Succeeded());
}

JobResult IspJobs::Identify() {
    const Reply read = ReadChipId(device_, flash_);
    if (read != Reply::Done)
        return Walks().Fail(FailureKind::IdentifyFailed, std::nullopt, StatusCause(read));
    flash_.FlashPageSize = PageSizeFor(flash_.ChipId);
    return Succeeded();
}

JobResult IspJobs::ReadUniqueIdStep() {
    if (!PartFor(flash_.ChipId).uniqueId) return Succeeded();
    const Reply read = ReadUniqueId(device_, flash_);
    if (read != Reply::Done)
        return Walks().Fail(FailureKind::IdentifyFailed, std::nullopt, StatusCause(read));
    return Succeeded();
}

JobResult IspJobs::IdentifyAndCheckRange(bool wholeFlash, bool walks, bool sectorErase) {
    if (auto identified = Identify(); !identified.Ok()) return identified;
    const auto refusal = JobRangeRefusal(program_, wholeFlash, walks, sectorErase, flash_.ChipId);
    if (!refusal) return Succeeded();
    return Failure(FailureKind::RangeBeyondFlash, std::nullopt, *refusal);
}

JobResult IspJobs::EraseStep(bool wholeFlash) {
    OpenedDevice open(device_);
    if (!device_.IsOpen()) return Failure(FailureKind::DeviceGone);
    FlashWalks walks = Walks();
    const JobResult erased = wholeFlash ? walks.EraseWholeChip()
                                        : walks.EraseRange(program_.RangeStart, program_.RangeSize);
    // The window shows no text for a finished erase; the command line's verdict needs one.
    return erased.Ok() ? Succeeded("Erase Flash Success") : erased;
}

JobResult IspJobs::BlankWalk(FlashRange range) {
    return Walks().BlankCheckRange(range.start, range.end);
}

JobResult IspJobs::ProgramWalk(FlashRange range) {
    const ImagePlacement placement{program_.ProgramImage.Bytes, program_.RangeStart};
    return Walks().ProgramRange(range.start, range.end, placement);
}

JobResult IspJobs::VerifyWalk(FlashRange range) {
    const ImagePlacement placement{program_.ProgramImage.Bytes, program_.RangeStart};
    return Walks().VerifyRange(range.start, range.end, placement);
}

JobResult IspJobs::ChangedSectorsWalk(FlashRange range, bool wholeFlash) {
    const ImagePlacement placement{program_.ProgramImage.Bytes, program_.RangeStart};
    return ChangedSectors(device_, view_, flash_, StopRequested)
        .Rewrite(range.start, range.end, placement, wholeFlash);
}

// The walks need an image and a range that holds it; without them nothing is sent, as with
// Auto (the device is only opened, so the job still closes it at its end).
std::optional<JobResult> IspJobs::RefuseWalkWithoutImage(bool wholeFlash) {
    if (program_.ProgramImage.LoadedLength == 0) return Refuse(kProgramFileNotReadyText);
    if (const auto refusal = JobRangeRefusal(program_, wholeFlash, true, false))
        return Refuse(*refusal);
    return std::nullopt;
}

JobResult IspJobs::BlankCheck(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    OpenedDevice open(device_);
    if (auto refused = RefuseWalkWithoutImage(wholeFlash)) return Finish(*refused);
    view_.ShowProcessInfo("Start Blanking Check");
    if (auto identified = IdentifyAndCheckRange(wholeFlash, true, false); !identified.Ok())
        return Finish(identified);
    return Finish(Walked("Blanking Success", &IspJobs::BlankWalk, ImageRange(program_, wholeFlash)));
}

JobResult IspJobs::ProgramStep(bool wholeFlash) {
    return Walked("Programming Success", &IspJobs::ProgramWalk, ImageRange(program_, wholeFlash));
}

JobResult IspJobs::VerifyStep(bool wholeFlash) {
    return Walked("Verifying Success", &IspJobs::VerifyWalk, ImageRange(program_, wholeFlash));
}

JobResult IspJobs::Program(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    OpenedDevice open(device_);
    if (auto refused = RefuseWalkWithoutImage(wholeFlash)) return Finish(*refused);
    view_.ShowProcessInfo("Start Programming...");
    if (auto identified = IdentifyAndCheckRange(wholeFlash, true, false); !identified.Ok())
        return Finish(identified);
    return Finish(ProgramStep(wholeFlash));
}

JobResult IspJobs::Verify(bool wholeFlash) {
    JobGuard job(busy_, StopRequested);
    OpenedDevice open(device_);
    if (auto refused = RefuseWalkWithoutImage(wholeFlash)) return Finish(*refused);
    view_.ShowProcessInfo("Start Verifying Check");
    if (auto identified = IdentifyAndCheckRange(wholeFlash, true, false); !identified.Ok())
        return Finish(identified);
    return Finish(VerifyStep(wholeFlash));
}

JobResult IspJobs::ProgramAndVerify(bool wholeFlash, bool verify) {
    JobGuard job(busy_, StopRequested);
    OpenedDevice open(device_);
    if (auto refused = RefuseWalkWithoutImage(wholeFlash)) return Finish(*refused);
    view_.ShowProcessInfo("Start Programming...");
    if (auto identified = IdentifyAndCheckRange(wholeFlash, true, false); !identified.Ok())
        return Finish(identified);
    if (auto unprotected = CheckNotProtected(); !unprotected.Ok()) return Finish(unprotected);
    if (auto programmed = ProgramStep(wholeFlash); !programmed.Ok() || !verify)
        return Finish(programmed);
    view_.ShowProcessInfo("Start Verifying Check");
    return Finish(VerifyStep(wholeFlash));
}

JobResult IspJobs::ReadBack() {
    JobGuard job(busy_, StopRequested);
    view_.ShowProcessInfo("Read Flash data back");
    OpenedDevice open(device_);
    readBack_ = {0, kReadBackEnd};
    const JobResult read = Walks().ReadBackRange(0, kReadBackEnd, ReadBackBuffer);
    readBackSucceeded_ = read.Ok();
    return Finish(read.Ok() ? Succeeded(kReadBackSuccessText) : read);
}

JobResult IspJobs::ReadBackRange(std::optional<FlashRange> range) {
    JobGuard job(busy_, StopRequested);
    view_.ShowProcessInfo("Read Flash data back");
    OpenedDevice open(device_);
    readBackSucceeded_ = false;
    if (auto identified = Identify(); !identified.Ok()) return Finish(identified);
    const std::uint64_t capacity = FlashCapacity(flash_.ChipId);
    readBack_ = range.value_or(FlashRange{0, static_cast<std::uint32_t>(capacity)});
    if (const auto refusal = FlashSizeRefusal(readBack_.start, readBack_.end - readBack_.start,
                                              flash_.ChipId))
        return Finish(Failure(FailureKind::RangeBeyondFlash, std::nullopt, *refusal));
    const JobResult read = Walks().ReadBackRange(readBack_.start, readBack_.end, ReadBackBuffer);
    readBackSucceeded_ = read.Ok();
    return Finish(read.Ok() ? Succeeded(kReadBackSuccessText) : read);
}

JobResult IspJobs::SaveReadBack(const std::string& path) {
    const auto bytes =
        std::span(ReadBackBuffer).subspan(readBack_.start, readBack_.end - readBack_.start);
    if (const auto failed = WriteOutput(path, bytes))
        return Finish(Failure(FailureKind::OutputNotWritten, std::nullopt,
                              "Cannot write " + path + " (" + *failed + ")"));
    // A read that failed keeps its failure text: the file holds 0x5A where blocks were unread.
    if (readBackSucceeded_) view_.ShowProcessInfo(kReadBackSuccessText);
    return Succeeded(kReadBackSuccessText);
}

// Loads the file the combo names when asked to, and refuses to go on without an image for
// a program or verify step: nothing is erased for a file that is not there.
std::optional<JobResult> IspJobs::PrepareImage(const AutoRequest& request) {
    if (request.steps.reloadFile) {
        if (request.fileText != program_.ProgramFileName)
            program_.ProgramFileName = request.fileText;
        const ProgramFileReport report = ReadProgramFile(program_);
        if (!report.checksumText.empty()) view_.ShowChecksum(report.checksumText);
        if (report.outcome != ProgramFileOutcome::Loaded)
            return Refuse(kProgramFileNotReadyText, report.problem);
    }
    const bool needsImage = request.steps.program || request.steps.verify || request.changedOnly;
    if (needsImage && program_.ProgramImage.LoadedLength == 0)
        return Refuse(kProgramFileNotReadyText);
    return std::nullopt;
}

std::optional<JobResult> IspJobs::Auto(const AutoRequest& request, bool& autoBusy) {
    if (running_) {
        StopRequested = true;
        return std::nullopt;
    }
    if (busy_) return Failure(FailureKind::Refused, std::nullopt, "Another flash job is running");
    StepFailed = false;
    if (!device_.IsPresent()) return Refuse(kDeviceNotAvailableText);
    if (!program_.ProgramFileReady && request.fileText.empty())
        return Refuse(kProgramFileNotReadyText);
    FlagGuard busyGuard(autoBusy);
    FlagGuard jobGuard(busy_);
    FlagGuard runningGuard(running_);
    StopRequested = false;
    if (auto refused = PrepareImage(request)) return refused;
    // A range text that does not convert ends the click before anything is sent.
    try {
        if (!request.wholeFlash)
            ApplyRangeChoice(program_, false, request.startText, request.sizeText);
    } catch (const ConversionError& error) {
        return Refuse(error.what());
    }
    // A range no flash can hold is refused before anything is sent.
    if (const auto refusal = JobRangeRefusal(program_, request.wholeFlash, true,
                                             !request.wholeFlash && StepsRun(request).erase))
        return Refuse(*refusal);
    return Finish(RunSequence(request, ImageRange(program_, request.wholeFlash)));
}

JobResult IspJobs::RunCheckedStep(bool chosen, const char* startText, const char* successText,
                                  JobResult (IspJobs::*walk)(FlashRange), FlashRange range) {
    if (!chosen) return Succeeded();
    view_.ShowProcessInfo(startText);
    return Walked(successText, walk, range);
}

JobResult IspJobs::Walked(const char* successText, JobResult (IspJobs::*walk)(FlashRange),
                          FlashRange range) {
    const JobResult result = (this->*walk)(range);
    if (!result.Ok()) return result;
    view_.ShowProcessInfo(successText);
    return Succeeded(successText);
}

// The protection step checks what it did: the part's block-protect bits must read set
// afterwards. A busy flash ignores the write enable and the status write, so an erase a stop
// request left running is waited for first, for as long as a whole chip erase may take.
JobResult IspJobs::ProtectFlash() {
    FlashWalks walks = CleanUpWalks();
    if (StopRequested) {
        if (auto idle = walks.WaitWhileBusy(ChipErasePolls(flash_.ChipId),
                                            FailureKind::ProtectFailed);
            !idle.Ok())
            return idle;
    }
    const Reply enabled = WriteEnable(device_);
    const Reply sent =
        enabled != Reply::Done ? enabled : WriteFlashStatus(device_, kProtectedStatus);
    if (sent != Reply::Done) return walks.Fail(FailureKind::ProtectFailed, std::nullopt, sent);
    if (auto idle = walks.WaitWhileBusy(kStatusWaitPolls, FailureKind::ProtectFailed); !idle.Ok())
        return idle;
    const auto status = walks.ReadStatus();
    if (!status.Ok())
        return walks.Fail(FailureKind::ProtectFailed, std::nullopt, StatusCause(status.reply));
    const std::uint8_t protection = walks.Part().blockProtectMask;
    if ((status.value & (kBusyBit | protection)) == protection) return Succeeded();
    return Failure(FailureKind::ProtectFailed);
}

// Steps run while every step before them succeeded and no stop was asked for; the clean-up
// (protection, ISP exit) is tried whatever failed before it, and its own failure is the
// result only when it is the first. So the result always names the step that went wrong first.
JobResult IspJobs::RunSequence(const AutoRequest& request, FlashRange range) {
    const AutoSteps steps = StepsRun(request);
    view_.ShowProcessInfo("Enter ISP Mode");
    view_.PumpEvents();
    if (device_.Open() != Reply::Done) return Failure(FailureKind::DeviceGone);
    JobResult first = Succeeded();
    const auto go = [&] { return first.Ok() && !StopRequested; };
    if (steps.ispMode) {
        const Reply entered = SetIspMode(device_, IspMode::Enter);
        if (entered != Reply::Done)
            first = CleanUpWalks().Fail(FailureKind::IspEntryFailed, std::nullopt, entered);
    }
    // Each step runs while those before it succeeded; the text of the last one that did is
    // the sequence's success text.
    std::string done = "Enter ISP Mode";
    const auto step = [&](JobResult result) {
        if (result.Ok() && !result.text.empty()) done = result.text;
        first = result;
    };
    // The identification sizes the flash for every step that touches it; a sequence with no
    // such step only reads it, as the window always has.
    const bool touchesFlash = steps.erase || steps.blank || steps.program || steps.verify ||
                              steps.protect || request.changedOnly;
    if (go() && touchesFlash)
        step(IdentifyAndCheckRange(request.wholeFlash, true, !request.wholeFlash && steps.erase));
    else if (go() && !Identify().Ok())
        flash_.FlashPageSize = PageSizeFor(flash_.ChipId);
    if (go() && touchesFlash && request.readUniqueId) step(ReadUniqueIdStep());
    if (go() && touchesFlash && request.prepareImage) step(request.prepareImage(flash_, program_));
    // Nothing is erased, written or protected on a flash that was not identified or that
    // cannot hold the range.
    const bool identified = first.Ok();
    if (go() && (steps.erase || request.changedOnly)) step(ClearStatusRegister());
    if (go() && steps.erase) step(EraseStep(request.wholeFlash));  // opens the device anew
    if (go() && request.changedOnly) step(ChangedSectorsWalk(range, request.wholeFlash));
    // The erase step closed the device; the rest of the sequence and its clean-up need it.
    if (device_.Open() != Reply::Done && first.Ok()) first = Failure(FailureKind::DeviceGone);
    if (go())
        step(RunCheckedStep(steps.blank, "Start Blanking Check", "Blanking Success",
                            &IspJobs::BlankWalk, range));
    if (go())
        step(RunCheckedStep(steps.program, "Start Programming", "Programming Success",
                            &IspJobs::ProgramWalk, range));
    if (go())
        step(RunCheckedStep(steps.verify, "Start Verifying Check", "Verifying Success",
                            &IspJobs::VerifyWalk, range));
    // A stop between steps ends the sequence where it stood.
    if (first.Ok() && StopRequested) first = Failure(FailureKind::Stopped, range.start);
    // A device gone or gone silent gets no clean-up: it has failed the sequence already.
    const JobResult protect = identified && steps.protect && !device_.Unreachable()
                                  ? ProtectFlash()
                                  : Succeeded();
    JobResult exit = Succeeded();
    if (steps.ispMode && !device_.Unreachable()) {
        const Reply left = SetIspMode(device_, IspMode::Leave);
        if (left != Reply::Done)
            exit = CleanUpWalks().Fail(FailureKind::IspExitFailed, std::nullopt, left);
    }
    device_.Close();
    if (!first.Ok()) {
        // A chip gone or silent says so already; a protection the flash did not take is news.
        first.leftUnprotected = protect.kind == FailureKind::ProtectFailed;
        return first;
    }
    if (!protect.Ok()) return protect;
    return exit.Ok() ? Succeeded(done) : exit;
}

}  // namespace qv
