#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chip/FlashOperations.h"
#include "device/QuorvexUsb.h"
#include "image/ProgramFile.h"
#include "isp/IspView.h"

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

// The steps the automatic sequence runs, as chosen by the ISP page's seven boxes.
struct AutoSteps {
    bool reloadFile = true;
    bool ispMode = true;
    bool erase = true;
    bool blank = true;
    bool program = true;
    bool verify = true;
    bool protect = true;
};

struct AutoRequest {
    AutoSteps steps;
    bool wholeFlash = true;
    std::string startText;  // KB, used for an assigned range
    std::string sizeText;   // KB, used for an assigned range
    std::string fileText;   // the program file combo's text
    // In place of erase, blank check, program and verify: rewrite only the sectors that differ
    // from the image (ChangedSectors). The command line's choice; the window never sets it.
    bool changedOnly = false;
};

enum class AutoOutcome {
    Refused,    // not started: no device, no program file, bad range text
    Succeeded,  // every chosen step succeeded
    Failed,     // a step failed; the process text says which
    Stopped,    // ended by a stop request
    StopAsked,  // this click asked the running sequence to stop
};

// The flash jobs of the ISP page over one device object: the Function Test buttons and the
// automatic sequence. Each job opens the device at its start and closes it at its end.
class IspJobs {
public:
    IspJobs(QuorvexUsb& device, IspView& view, ProgramFile& program, FlashContext& flash);

    // Chip erase ("All") or the sector walk over RangeStart/RangeSize; sets StepFailed and
    // shows "Erase Flash Fail" when the chip stayed busy. A sector range beyond the flash is
    // refused before anything is erased (the flash is identified first to know its size).
    bool Erase(bool wholeFlash);
    // The sequence's erase step on its own: clears the status register (and so the block
    // protection) first, then erases; a protection that stays set fails before any erase.
    bool ClearProtectionAndErase(bool wholeFlash);
    // Blank check, program and verify identify the flash first and refuse an image range
    // beyond it.
    bool BlankCheck(bool wholeFlash);
    bool Program(bool wholeFlash);
    bool Verify(bool wholeFlash);
    // Programming that proves itself: refuses a write-protected flash before writing
    // ("Flash is write-protected (status 0xNN)"), then programs and, when asked, verifies.
    bool ProgramAndVerify(bool wholeFlash, bool verify);
    // Reads flash addresses 0 to 0x1FFFF into ReadBackBuffer (unread bytes 0x5A).
    bool ReadBack();
    // The command line's read back: [start, end), or without a range the whole flash as its
    // identification sizes it; a range beyond the flash is refused before anything is read.
    bool ReadBackRange(std::optional<FlashRange> range);
    // Writes what the last read back covered (its bytes of ReadBackBuffer) to a new or
    // replaced file; "Cannot write " + path when it fails, the success text only when the last
    // read back succeeded.
    bool SaveReadBack(const std::string& path);

    // The Auto button: a click while a sequence runs only asks it to stop.
    AutoOutcome Auto(const AutoRequest& request, bool& autoBusy);
    bool Running() const { return running_; }
    // True while any job of this object runs: other device actions wait for it to end.
    bool Busy() const { return busy_; }

    bool StepFailed = false;
    bool StopRequested = false;
    std::vector<std::uint8_t> ReadBackBuffer;

private:
    bool EraseStep(bool wholeFlash);
    // Identifies the flash and shows why the job's range does not fit it; false then.
    bool IdentifyAndCheckRange(bool wholeFlash, bool walks, bool sectorErase);
    bool ProgramStep(bool wholeFlash);
    bool VerifyStep(bool wholeFlash);
    // False, with the write-protected text shown, when block protection bits are set.
    bool CheckNotProtected();
    bool RefuseProtected(std::uint8_t status, std::uint8_t protectionBits);
    bool ProtectFlash();
    bool LeaveIspMode();
    AutoOutcome RunSequence(const AutoRequest& request, FlashRange range);
    bool PrepareImage(const AutoRequest& request);
    void RunCheckedStep(bool chosen, const char* startText, const char* successText,
                        bool (IspJobs::*walk)(FlashRange), FlashRange range);
    bool BlankWalk(FlashRange range);
    bool ProgramWalk(FlashRange range);
    bool VerifyWalk(FlashRange range);
    bool ChangedSectorsWalk(FlashRange range, bool wholeFlash);
    void IdentifyFlash();
    bool WaitWhileBusy();
    bool ClearStatusRegister();

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
