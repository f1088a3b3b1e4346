#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chip/FlashOperations.h"
#include "device/QuorvexUsb.h"
#include "image/ProgramFile.h"
#include "isp/AutoSteps.h"
#include "isp/FlashWalks.h"
#include "isp/IspView.h"
#include "isp/JobResult.h"

namespace qv {

inline constexpr const char* kDeviceNotAvailableText = "USB device is NOT available !!    ";
inline constexpr const char* kReadBackSuccessText = "Read Flash content Success";

// The half-open range of flash addresses a blank check, program or verify covers.
struct FlashRange {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
};

// "All": from 0 over the loaded length; an assigned range: from RangeStart.
FlashRange ImageRange(const ProgramFile& program, bool wholeFlash);

struct AutoRequest {
    AutoSteps steps;
    bool wholeFlash = true;
    std::string startText;  // KB, used for an assigned range
    std::string sizeText;   // KB, used for an assigned range
    std::string fileText;   // the program file combo's text
    // In place of erase, blank check, program and verify: rewrite only the sectors that differ
    // from the image (ChangedSectors). The command line's choice; the window never sets it.
    bool changedOnly = false;
    // After the identification, the part's unique ID where the parts table says it has one
    // (FlashContext::UniqueId), for the command line's records; the window never asks.
    bool readUniqueId = false;
    // After the identification and the unique ID, before anything is erased or written: makes
    // in place the image this part is given (a serial number of its own). A failure ends the
    // sequence there, with nothing written.
    std::function<JobResult(const FlashContext& flash, ProgramFile& program)> prepareImage = {};
};

// The flash jobs of the ISP page over one device object: the Function Test buttons and the
// automatic sequence. Each job opens the device at its start and closes it at its end, and
// ends in one result: the window shows its text, the command line its verdict. A failed job
// leaves its text as the last process text.
class IspJobs {
public:
    IspJobs(QuorvexUsb& device, IspView& view, ProgramFile& program, FlashContext& flash);

    // Chip erase ("All") or the sectors RangeStart/RangeSize touch; "Erase Flash Fail" when
    // the chip stayed busy. The Erase button leaves the protection as it is: a flash whose
    // block protection is set fails before anything is sent to erase it. A sector range beyond
    // the flash is refused before anything is erased (the flash is identified first).
    JobResult Erase(bool wholeFlash);
    // The sequence's erase step on its own: clears the status register (and so the block
    // protection) first, then erases; a protection that stays set fails before any erase.
    JobResult ClearProtectionAndErase(bool wholeFlash);
    // Blank check, program and verify identify the flash first and refuse an image range
    // beyond it.
    JobResult BlankCheck(bool wholeFlash);
    JobResult Program(bool wholeFlash);
    JobResult Verify(bool wholeFlash);
    // Programming that proves itself: refuses a write-protected flash before writing
    // ("Flash is write-protected (status 0xNN)"), then programs and, when asked, verifies.
    JobResult ProgramAndVerify(bool wholeFlash, bool verify);
    // Reads flash addresses 0 to 0x1FFFF into ReadBackBuffer (unread bytes 0x5A).
    JobResult ReadBack();
    // The command line's read back: [start, end), or without a range the whole flash as its
    // identification sizes it; a range beyond the flash is refused before anything is read.
    JobResult ReadBackRange(std::optional<FlashRange> range);
    // Writes what the last read back covered (its bytes of ReadBackBuffer) to a new or
    // replaced file; "Cannot write " + path when it fails, the success text only when the last
    // read back succeeded.
    JobResult SaveReadBack(const std::string& path);

    // The Auto button. Nothing when the click only asked the running sequence to stop.
    std::optional<JobResult> Auto(const AutoRequest& request, bool& autoBusy);
    bool Running() const { return running_; }
    // True while any job of this object runs: other device actions wait for it to end.
    bool Busy() const { return busy_; }

    bool StepFailed = false;
    bool StopRequested = false;
    std::vector<std::uint8_t> ReadBackBuffer;

private:
    // Ends a job: the front end first handles what it was asked meanwhile (a click then only
    // asks an ending job to stop), then a failure's text becomes the last process text (a
    // refusal was shown as a message instead), and StepFailed follows the result.
    JobResult Finish(JobResult result);
    // Not started: the message shown as the window's modal notice (with the detail below it,
    // when there is one), and the refusal's text.
    JobResult Refuse(const std::string& message, const std::string& detail = {});
    std::optional<JobResult> RefuseWalkWithoutImage(bool wholeFlash);
    // The walks of the running job (a stop request ends them), and those of its clean-up
    // (which a stop request must not cut short).
    FlashWalks Walks();
    FlashWalks CleanUpWalks();
    JobResult EraseStep(bool wholeFlash);
    // Identifies the flash (its page size, capacity and protection bits come from the parts
    // table) and refuses the job's range when it does not fit.
    JobResult Identify();
    JobResult IdentifyAndCheckRange(bool wholeFlash, bool walks, bool sectorErase);
    // Nothing for a part without one; an ID that cannot be read fails as the identification.
    JobResult ReadUniqueIdStep();
    // Fails, with the write-protected text, while block-protect bits of the part are set.
    JobResult CheckNotProtected();
    JobResult ClearStatusRegister();
    JobResult ProtectFlash();
    JobResult RunSequence(const AutoRequest& request, FlashRange range);
    std::optional<JobResult> PrepareImage(const AutoRequest& request);
    // A walk of the sequence: its start text, the walk, and its success text when it passed.
    JobResult RunCheckedStep(bool chosen, const char* startText, const char* successText,
                             JobResult (IspJobs::*walk)(FlashRange), FlashRange range);
    JobResult Walked(const char* successText, JobResult (IspJobs::*walk)(FlashRange),
                     FlashRange range);
    JobResult BlankWalk(FlashRange range);
    JobResult ProgramWalk(FlashRange range);
    JobResult VerifyWalk(FlashRange range);
    JobResult ProgramStep(bool wholeFlash);
    JobResult VerifyStep(bool wholeFlash);
    JobResult ChangedSectorsWalk(FlashRange range, bool wholeFlash);

    QuorvexUsb& device_;
    IspView& view_;
    ProgramFile& program_;
    FlashContext& flash_;
    bool running_ = false;
    bool busy_ = false;
    bool readBackSucceeded_ = false;
    FlashRange readBack_{0, 0x20000};
};

}  // namespace qv
