#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "chip/FlashOperations.h"
#include "chip/FlashParts.h"
#include "device/QuorvexUsb.h"
#include "isp/IspView.h"
#include "isp/JobResult.h"

namespace qv {

inline constexpr std::uint32_t kSectorSize = 0x1000;
inline constexpr std::uint32_t kReadBackEnd = 0x20000;
inline constexpr std::size_t kReadBackBufferSize = 0x40000;
inline constexpr std::uint8_t kUnreadByte = 0x5A;

// Where the image goes in the flash: flash address a holds image byte a - rangeStart.
struct ImagePlacement {
    std::span<const std::uint8_t> image;
    std::uint32_t rangeStart = 0;

    std::uint8_t ByteAt(std::uint32_t address) const;
};

// Erase, blank check, program, verify and read back over the device object, which the caller
// has opened. Each walk keeps to its poll and retry budgets, reports its progress through the
// view and returns how it ended; it shows no failure text itself (the job shows the result's).
// A raised stop flag ends a walk at the next block, page or erase poll ("Stopped at 0x" and
// the address reached, "Stopped during the erase" in a whole chip's erase); a device that
// vanished or stopped answering ends it at once.
class FlashWalks {
public:
    FlashWalks(QuorvexUsb& device, IspView& view, const FlashContext& flash,
               const bool& stopRequested);

    // Chip erase and its status polls, as many as the part's datasheet maximum needs (at least
    // 1000). It fails when the erase could not start (see StartErase), the flash stayed busy,
    // or the status at the end says the erase was not taken.
    JobResult EraseWholeChip();
    // Erases every 4 KB sector that [start, start + size) touches. The bytes of those sectors
    // outside the range are read before the erase and written back after it, so nothing
    // outside the range changes; writing them back is tried twice, and a failure names the
    // span that was lost.
    JobResult EraseRange(std::uint32_t start, std::uint32_t size);

    // The block walks. A busy flash ignores the read instruction and the bus then reads 0xFF,
    // which a blank check or a read back would take for content: a walk that read its blocks
    // ends by reading the status until it shows the flash idle (three reads at most, 10 ms
    // apart) and fails while the flash still reports busy.
    JobResult BlankCheckRange(std::uint32_t start, std::uint32_t end);
    JobResult VerifyRange(std::uint32_t start, std::uint32_t end, const ImagePlacement& placement);
    // Page by page; before each page a write enable and a status read that must show the
    // flash idle with the latch set (up to 101 reads, 1 ms apart, while busy), then the page,
    // whose two requests must both go through. Ends with the same wait after the last page.
    JobResult ProgramRange(std::uint32_t start, std::uint32_t end, const ImagePlacement& placement);
    // Reads [start, end) into buffer (unread bytes stay 0x5A), each block twice to compare.
    JobResult ReadBackRange(std::uint32_t start, std::uint32_t end,
                            std::vector<std::uint8_t>& buffer);

    // Erases one sector and writes content (a whole sector's bytes: those kept from before,
    // and what the range is to hold) into it, then verifies it. The writing is done whatever
    // the stop flag says, also after an erase whose polls failed or were stopped, and is tried
    // twice; a failure names the span of the sector outside [rangeStart, rangeEnd) as lost.
    JobResult RewriteSector(std::uint32_t sector, const ImagePlacement& content,
                            std::uint32_t rangeStart, std::uint32_t rangeEnd);

    // The status register, read up to three times in a row until one read arrives whole.
    ReplyWith<std::uint8_t> ReadStatus();
    // Reads the status until bit 0 clears, 10 ms apart, at most polls times, letting the front
    // end handle its events between reads; a stop request ends the wait (in walks that honour
    // one). A flash still busy at the end is a failure of busyKind; a status that cannot be
    // read, the failure its reply names.
    // A busy flash ignores reads and the bus reads 0xFF: bytes that must be kept are read only
    // once a status read of their own shows the flash idle (a garbled status read before must
    // not make erased bytes of them). Fails with busyKind when it stays busy.
    JobResult AwaitIdleBeforeReading(FailureKind busyKind, std::uint32_t address);
    JobResult WaitWhileBusy(int polls, FailureKind busyKind,
                            std::optional<std::uint32_t> address = std::nullopt);

    // One read-data request into block (its size is the count asked), with the walks' three
    // attempts; the last attempt's reply. The caller fills the block first with bytes that
    // cannot pass for what it expects.
    Reply ReadBlock(std::uint32_t address, std::span<std::uint8_t> block);
    // The same, done when two reads of the block agree: for bytes kept across an erase.
    Reply ReadBlockTwice(std::uint32_t address, std::span<std::uint8_t> block);
    // Bytes per read-data request: the flash context's, 64 unless told otherwise.
    std::uint32_t ReadBlockSize() const;
    // The failure that ends the walk here: a stop request ("Stopped at 0x" and the address),
    // a device gone or gone silent; nothing when the walk may go on.
    std::optional<JobResult> StopAt(std::uint32_t address) const;
    // A failure of kind, unless the device is gone or silent, or a stop was asked for: then
    // that is what ended the step. reply is the last request's, when it names the cause.
    JobResult Fail(FailureKind kind, std::optional<std::uint32_t> address = std::nullopt,
                   Reply reply = Reply::Refused, const std::string& detail = {}) const;
    // A status that would not arrive, as the failure it is.
    JobResult StatusFailure(Reply reply, std::optional<std::uint32_t> address = std::nullopt) const;
    // The write-protected failure ("Flash is write-protected (status 0xNN)") when the status
    // shows any of the part's block-protect bits; nothing otherwise.
    std::optional<JobResult> Protection(std::uint8_t status,
                                        std::optional<std::uint32_t> address = std::nullopt) const;
    // The identified part (or the fallbacks for an identification the table does not know).
    FlashPart Part() const { return PartFor(flash_.ChipId); }

private:
    enum class BlockCheck { Blank, Verify, ReadBack };
    JobResult WalkBlocks(std::uint32_t start, std::uint32_t end, BlockCheck check,
                         const ImagePlacement* placement, std::vector<std::uint8_t>* readBack);
    JobResult EraseSector(std::uint32_t sector, std::uint32_t rangeStart, std::uint32_t rangeEnd);
    JobResult WriteBackSector(std::uint32_t sector, const ImagePlacement& content,
                              std::uint32_t rangeStart, std::uint32_t rangeEnd);
    // `address`: the sector's; none for the whole chip.
    JobResult PollErase(const std::string& caption, int polls, std::optional<std::uint32_t> address,
                        std::uint32_t estimatedMs = 0);
    // Write enable, a status read that must show the latch alone (idle, unprotected), then the
    // erase request sendErase makes, and the pause before the polls.
    JobResult StartErase(const std::function<Reply()>& sendErase, std::uint32_t address);
    JobResult EnableWriteForPage(std::uint32_t address);
    JobResult WaitAfterLastPage(std::uint32_t address);
    void ShowProgress(std::uint32_t start, std::uint32_t end, std::uint32_t address);

    QuorvexUsb& device_;
    IspView& view_;
    const FlashContext& flash_;
    const bool& stopRequested_;
};

// The cause of a status or identification that would not arrive: a chip that keeps saying
// "not ready" to them is not answering.
Reply StatusCause(Reply reply);

// "0x" and six upper-case hexadecimal digits, as the labels show flash addresses.
std::string Address6(std::uint32_t address);

}  // namespace qv
