#include "isp/FlashWalks.h"

#include <algorithm>
#include <array>

#include "chip/FlashRequests.h"
#include "common/HexFormat.h"
#include "isp/RangeCheck.h"

namespace qv {
namespace {

constexpr int kSectorErasePolls = 1000;
constexpr std::uint32_t kErasePauseMs = 10;
constexpr int kPageWaitReads = 101;
constexpr int kPageDonePolls = 10;
constexpr int kBlockAttempts = 3;
constexpr int kStatusAttempts = 3;
constexpr int kWriteBackAttempts = 2;
constexpr int kWaitAfterReads = 3;
// The stop flag of work that must not be cut short.
constexpr bool kNeverStop = false;
// An erase's progress by its usual time stops short of the end until the flash is done.
constexpr double kErasingAtMost = 0.99;

bool Busy(std::uint8_t status) { return (status & kBusyBit) != 0; }

// Fills the block buffer with each expected byte inverted: no byte of it can pass.
void Invert(std::span<const std::uint8_t> expected, std::span<std::uint8_t> block) {
    std::transform(expected.begin(), expected.begin() + block.size(), block.begin(),
                   [](std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); });
}

}  // namespace

Reply StatusCause(Reply reply) { return reply == Reply::NotReady ? Reply::NoAnswer : reply; }

std::string Address6(std::uint32_t address) { return "0x" + Hex6(address); }

std::uint8_t ImagePlacement::ByteAt(std::uint32_t address) const {
    const std::uint32_t offset = address - rangeStart;
    return offset < image.size() ? image[offset] : 0xFF;
}

FlashWalks::FlashWalks(QuorvexUsb& device, IspView& view, const FlashContext& flash,
                       const bool& stopRequested)
    : device_(device), view_(view), flash_(flash), stopRequested_(stopRequested) {}

JobResult FlashWalks::Fail(FailureKind kind, std::optional<std::uint32_t> address, Reply reply,
                           const std::string& detail) const {
    if (device_.Gone() || reply == Reply::Gone) return Failure(FailureKind::DeviceGone, address);
    if (device_.Unanswering() || reply == Reply::NoAnswer)
        return Failure(FailureKind::NotAnswering, address);
    if (stopRequested_) return Failure(FailureKind::Stopped, address);
    return Failure(kind, address, detail);
}

JobResult FlashWalks::StatusFailure(Reply reply, std::optional<std::uint32_t> address) const {
    return Fail(FailureKind::StatusUnreadable, address, StatusCause(reply));
}

std::optional<JobResult> FlashWalks::Protection(std::uint8_t status,
                                                std::optional<std::uint32_t> address) const {
    if ((status & Part().blockProtectMask) == 0) return std::nullopt;
    view_.ShowStatusRegister("Status Register: 0x" + Hex2(status));  // the status it names
    return Fail(FailureKind::WriteProtected, address, Reply::Done,
                "Flash is write-protected (status 0x" + Hex2(status) + ")");
}

std::optional<JobResult> FlashWalks::StopAt(std::uint32_t address) const {
    if (!device_.Unreachable() && !stopRequested_) return std::nullopt;
    return Fail(FailureKind::Stopped, address);
}

void FlashWalks::ShowProgress(std::uint32_t start, std::uint32_t end, std::uint32_t address) {
    if (end > start) view_.ShowProgress(static_cast<double>(address - start) / (end - start));
}

ReplyWith<std::uint8_t> FlashWalks::ReadStatus() {
    ReplyWith<std::uint8_t> status{Reply::Refused};
    for (int i = 0; i < kStatusAttempts && !device_.Unreachable(); ++i) {
        status = ReadFlashStatus(device_);
        if (status.Ok()) break;
    }
    return status;
}

JobResult FlashWalks::AwaitIdleBeforeReading(FailureKind busyKind, std::uint32_t address) {
    return WaitWhileBusy(kSectorErasePolls, busyKind, address);
}

JobResult FlashWalks::WaitWhileBusy(int polls, FailureKind busyKind,
                                    std::optional<std::uint32_t> address) {
    for (int i = 0; i < polls; ++i) {
        const auto status = ReadStatus();
        if (!status.Ok()) return StatusFailure(status.reply, address);
        if (!Busy(status.value)) return Succeeded();
        view_.PumpEvents();
        if (auto stop = StopAt(address.value_or(0))) return *stop;
        device_.Host().Sleep(kErasePauseMs);
    }
    return Fail(busyKind, address);
}

// One erase instruction's polls: the caption grows a full stop every 20 polls, nine at most.
// A stop request or a silent chip ends the wait (the flash may still be erasing). An erase
// ends with the write-enable latch clear: a flash that reads idle with the latch still set
// never took the erase (or the status read was garbled), so it is not reported erased. With an
// estimate of the erase's time (the part's typical figure), the progress is the share of it
// gone by, held below the end until the flash says it is done; without one, the caller shows
// its own progress.
JobResult FlashWalks::PollErase(const std::string& caption, int polls,
                                std::optional<std::uint32_t> address, std::uint32_t estimatedMs) {
    const std::uint64_t startedMs = device_.Host().NowMs();
    for (int poll = 0; poll < polls; ++poll) {
        if (auto stop = StopAt(address.value_or(0))) {
            // The whole chip's erase is at no address: say where it stopped in words.
            if (!address && stop->kind == FailureKind::Stopped)
                return Failure(FailureKind::Stopped, std::nullopt, "Stopped during the erase");
            return *stop;
        }
        const auto status = ReadStatus();
        if (!status.Ok()) return StatusFailure(status.reply, address.value_or(0));
        view_.ShowProcessInfo(caption + std::string((poll / 20) % 10, '.'));
        view_.ShowStatusRegister("Status Register: 0x" + Hex2(status.value));
        const double elapsedMs = static_cast<double>(device_.Host().NowMs() - startedMs);
        if (estimatedMs > 0) view_.ShowProgress(std::min(kErasingAtMost, elapsedMs / estimatedMs));
        view_.PumpEvents();
        if (!Busy(status.value)) {
            // Protection that came back made the flash refuse the erase.
            if (auto refused = Protection(status.value, address.value_or(0))) return *refused;
            if (status.value & kWriteEnableLatch) return Fail(FailureKind::EraseFailed);
            if (estimatedMs > 0) view_.ShowProgress(1.0);
            return Succeeded();
        }
        device_.Host().Sleep(kErasePauseMs);
    }
    return Fail(FailureKind::EraseFailed);
}

// An erase instruction is taken only by an idle, unprotected flash whose write enable latch is
// set, and an erase it ignored leaves nothing busy to poll: the polls would report it done.
// So the status read after the write enable must show the latch alone, and the instruction's
// request must go through; otherwise the erase has not started.
JobResult FlashWalks::StartErase(const std::function<Reply()>& sendErase, std::uint32_t address) {
    if (const Reply enabled = WriteEnable(device_); enabled != Reply::Done)
        return Fail(FailureKind::EraseFailed, std::nullopt, enabled);
    const auto status = ReadStatus();
    if (!status.Ok()) return StatusFailure(status.reply, address);
    if (auto refused = Protection(status.value, address)) return *refused;
    if ((status.value & (kBusyBit | kWriteEnableLatch)) != kWriteEnableLatch)
        return Fail(FailureKind::EraseFailed);
    if (const Reply sent = sendErase(); sent != Reply::Done)
        return Fail(FailureKind::EraseFailed, std::nullopt, sent);
    device_.Host().Sleep(kErasePauseMs);
    return Succeeded();
}

JobResult FlashWalks::EraseWholeChip() {
    const std::string caption = "Flash Erase All ";
    view_.ShowProcessInfo(caption);
    if (auto started = StartErase([&] { return EraseChip(device_); }, 0); !started.Ok())
        return started;
    return PollErase(caption, ChipErasePolls(flash_.ChipId), std::nullopt, Part().chipEraseMs);
}

JobResult FlashWalks::EraseRange(std::uint32_t start, std::uint32_t size) {
    view_.ShowProcessInfo("Flash Sector Erase");
    const std::uint64_t end = std::uint64_t{start} + size;
    const std::uint32_t rangeEnd =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(end, UINT32_MAX));
    for (std::uint64_t s = start - start % kSectorSize; s < end; s += kSectorSize) {
        const auto sector = static_cast<std::uint32_t>(s);
        if (auto stop = StopAt(std::max(sector, start))) return *stop;
        ShowProgress(start, rangeEnd, std::max(sector, start));
        if (auto erased = EraseSector(sector, start, rangeEnd); !erased.Ok()) return erased;
    }
    // A stop asked while the last sector's kept bytes were written back.
    if (auto stop = StopAt(rangeEnd)) return *stop;
    return Succeeded();
}

// A sector the range covers only in part is read whole first, and the bytes outside the range
// are written back after its erase.
JobResult FlashWalks::EraseSector(std::uint32_t sector, std::uint32_t rangeStart,
                                  std::uint32_t rangeEnd) {
    if (sector < rangeStart || rangeEnd - sector < kSectorSize) {
        if (auto idle = AwaitIdleBeforeReading(FailureKind::EraseFailed, sector); !idle.Ok())
            return idle;
        std::vector<std::uint8_t> kept(kSectorSize, 0xFF);
        const std::uint32_t size = ReadBlockSize();
        for (std::uint32_t a = sector; a < sector + kSectorSize; a += size) {
            const auto block =
                std::span(kept).subspan(a - sector, std::min(size, sector + kSectorSize - a));
            if (const Reply read = ReadBlockTwice(a, block); read != Reply::Done)
                return Fail(FailureKind::ReadFailed, a, read);
        }
        // Inside the range the sector stays erased.
        for (std::uint32_t k = 0; k < kSectorSize; ++k)
            if (sector + k >= rangeStart && sector + k < rangeEnd) kept[k] = 0xFF;
        return RewriteSector(sector, ImagePlacement{kept, sector}, rangeStart, rangeEnd);
    }
    if (auto started = StartErase([&] { return qv::EraseSector(device_, sector); }, sector);
        !started.Ok())
        return started;
    return PollErase("Flash Sector Erase: 0x " + Hex6(sector), kSectorErasePolls, sector);
}

// An erase that did not start changed nothing; one that did is followed by the write-back also
// when its polls failed or were stopped (the flash finishes an erase it has begun).
JobResult FlashWalks::RewriteSector(std::uint32_t sector, const ImagePlacement& content,
                                    std::uint32_t rangeStart, std::uint32_t rangeEnd) {
    if (auto started = StartErase([&] { return qv::EraseSector(device_, sector); }, sector);
        !started.Ok())
        return started;
    const JobResult erased =
        PollErase("Flash Sector Erase: 0x " + Hex6(sector), kSectorErasePolls, sector);
    const JobResult written = WriteBackSector(sector, content, rangeStart, rangeEnd);
    return written.Ok() ? erased : written;
}

JobResult FlashWalks::WriteBackSector(std::uint32_t sector, const ImagePlacement& content,
                                      std::uint32_t rangeStart, std::uint32_t rangeEnd) {
    FlashWalks unstoppable(device_, view_, flash_, kNeverStop);
    const std::uint32_t end = sector + kSectorSize;
    JobResult written;
    for (int attempt = 0; attempt < kWriteBackAttempts && !device_.Unreachable(); ++attempt) {
        written = unstoppable.WaitWhileBusy(kSectorErasePolls, FailureKind::EraseFailed, sector);
        if (written.Ok()) written = unstoppable.ProgramRange(sector, end, content);
        if (written.Ok()) written = unstoppable.VerifyRange(sector, end, content);
        if (written.Ok()) return written;
    }
    std::string lost;
    const auto span = [&](std::uint32_t from, std::uint32_t to) {
        if (from >= to) return;
        if (!lost.empty()) lost += " and ";
        lost += Address6(from) + "-" + Address6(to - 1);
    };
    span(sector, std::min(std::max(rangeStart, sector), end));
    span(std::max(std::min(rangeEnd, end), sector), end);
    const JobResult cause = Fail(FailureKind::ProgramFailed, sector);
    return Failure(FailureKind::KeptBytesLost, sector,
                   "Bytes outside the range lost at " + lost + " (" + cause.text + ")");
}

JobResult FlashWalks::BlankCheckRange(std::uint32_t start, std::uint32_t end) {
    return WalkBlocks(start, end, BlockCheck::Blank, nullptr, nullptr);
}

JobResult FlashWalks::VerifyRange(std::uint32_t start, std::uint32_t end,
                                  const ImagePlacement& placement) {
    return WalkBlocks(start, end, BlockCheck::Verify, &placement, nullptr);
}

JobResult FlashWalks::ReadBackRange(std::uint32_t start, std::uint32_t end,
                                    std::vector<std::uint8_t>& buffer) {
    if (buffer.size() < end) buffer.resize(end);
    std::fill(buffer.begin() + start, buffer.begin() + end, kUnreadByte);
    return WalkBlocks(start, end, BlockCheck::ReadBack, nullptr, &buffer);
}

// Reads blocks of the flash context's read size (64 unless told otherwise); a block gets
// three attempts in a row, a good block resets the count. Before each read the buffer is
// filled with bytes that cannot match what is expected there, so an answer that brings fewer
// bytes than asked is a mismatch even if it were taken for a good read.
JobResult FlashWalks::WalkBlocks(std::uint32_t start, std::uint32_t end, BlockCheck check,
                                 const ImagePlacement* placement,
                                 std::vector<std::uint8_t>* readBack) {
    const char* addressCaption =
        check == BlockCheck::Blank ? "Blanking Addr: " : "Verifying Addr: ";
    const FailureKind failKind = check == BlockCheck::Blank    ? FailureKind::BlankCheckFailed
                                 : check == BlockCheck::Verify ? FailureKind::VerifyFailed
                                                               : FailureKind::ReadFailed;
    const std::uint32_t size = ReadBlockSize();
    int errors = 0;
    std::uint32_t failingOffset = 0;
    Reply lastReply = Reply::Done;
    std::uint32_t a = start;
    while (a < end) {
        if (auto stop = StopAt(a)) return *stop;
        // Only the bytes before the end count; the read still asks for the whole block.
        const std::uint32_t counted = std::min(size, end - a);
        std::array<std::uint8_t, kMaxReadBlock> expected{};
        for (std::uint32_t k = 0; k < counted; ++k)
            expected[k] = check == BlockCheck::Verify ? placement->ByteAt(a + k) : 0xFF;
        std::array<std::uint8_t, kMaxReadBlock> storage{};
        const std::span block = std::span(storage).first(size);
        if (check != BlockCheck::ReadBack) Invert(expected, block);
        lastReply = ReadFlashData(device_, a, block);
        if (lastReply != Reply::Done) {
            ++errors;
            failingOffset = 0;
        } else {
            if (check == BlockCheck::ReadBack) {
                // The second read is compared with the first; its buffer starts as the first
                // read inverted, so a second read that did not arrive whole is a mismatch.
                std::copy(block.begin(), block.begin() + counted, readBack->begin() + a);
                std::copy(block.begin(), block.end(), expected.begin());
                Invert(expected, block);
                lastReply = ReadFlashData(device_, a, block);
            }
            const auto differing =
                std::mismatch(block.begin(), block.begin() + counted, expected.begin());
            const bool differs = differing.first != block.begin() + counted;
            if (differs)
                failingOffset = static_cast<std::uint32_t>(differing.first - block.begin());
            errors = differs ? errors + 1 : 0;
            view_.ShowProcessAddress(addressCaption + Address6(a));
            ShowProgress(start, end, a + counted);
            view_.PumpEvents();
        }
        if (errors >= kBlockAttempts) {
            // A read back fails with the verify's text, as the window has always shown it.
            const std::string detail = check == BlockCheck::ReadBack
                                           ? "Verifying Fail at " + Address6(a + failingOffset)
                                           : std::string();
            return Fail(failKind, a + failingOffset, lastReply, detail);
        }
        if (errors == 0) {
            // A last block that reaches past 0xFFFFFFFF ends the walk: a + size would wrap.
            if (end - a <= size) break;
            a += size;
        }
    }
    if (start >= end) return Succeeded();
    const std::string busyText = check == BlockCheck::Blank ? "Blanking Fail: the flash is busy"
                                                            : "Verifying Fail: the flash is busy";
    JobResult idle = WaitWhileBusy(kWaitAfterReads, failKind);
    if (idle.kind == failKind) idle = Fail(failKind, std::nullopt, Reply::Done, busyText);
    return idle;
}

Reply FlashWalks::ReadBlock(std::uint32_t address, std::span<std::uint8_t> block) {
    Reply reply = Reply::Refused;
    for (int attempt = 0; attempt < kBlockAttempts && !device_.Unreachable(); ++attempt) {
        reply = ReadFlashData(device_, address, block);
        if (reply == Reply::Done) break;
    }
    return device_.Gone() ? Reply::Gone : reply;
}

// Bytes that are written back after an erase are the only copy there will be: a block counts
// as read when two reads of it agree (three attempts, as every block gets).
Reply FlashWalks::ReadBlockTwice(std::uint32_t address, std::span<std::uint8_t> block) {
    std::array<std::uint8_t, kMaxReadBlock> again{};
    const auto second = std::span(again).first(block.size());
    Reply reply = Reply::Refused;
    for (int attempt = 0; attempt < kBlockAttempts && !device_.Unreachable(); ++attempt) {
        reply = ReadFlashData(device_, address, block);
        if (reply != Reply::Done) continue;
        std::transform(block.begin(), block.end(), second.begin(),
                       [](std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); });
        reply = ReadFlashData(device_, address, second);
        if (reply == Reply::Done && std::equal(block.begin(), block.end(), second.begin()))
            return Reply::Done;
        if (reply == Reply::Done) reply = Reply::Refused;  // the two reads differ
    }
    return device_.Gone() ? Reply::Gone : reply;
}

std::uint32_t FlashWalks::ReadBlockSize() const {
    const std::uint8_t size = flash_.ReadBlockSize;
    return size == 0 ? kDefaultReadBlock : size;
}

// A write enable, then a status read: a flash still busy with the last page ignored the write
// enable, so both go again after 1 ms (up to 101 reads); an idle flash must show the latch set,
// or the page would be ignored.
JobResult FlashWalks::EnableWriteForPage(std::uint32_t address) {
    for (int i = 0; i < kPageWaitReads; ++i) {
        if (const Reply enabled = WriteEnable(device_); enabled != Reply::Done)
            return Fail(FailureKind::ProgramFailed, address, enabled);
        const auto status = ReadStatus();
        if (!status.Ok()) return StatusFailure(status.reply, address);
        if (!Busy(status.value)) {
            if (auto refused = Protection(status.value, address)) return *refused;  // ignored
            if (status.value & kWriteEnableLatch) return Succeeded();
            return Fail(FailureKind::ProgramFailed, address);
        }
        device_.Host().Sleep(1);
    }
    return Fail(FailureKind::ProgramFailed, address);
}

// After the last page: up to 101 status reads, 1 ms after each busy answer. What follows (a
// verify, the protection write) would find the flash still busy.
JobResult FlashWalks::WaitAfterLastPage(std::uint32_t address) {
    for (int i = 0; i < kPageWaitReads; ++i) {
        const auto status = ReadStatus();
        if (!status.Ok()) return StatusFailure(status.reply, address);
        if (Busy(status.value)) {
            device_.Host().Sleep(1);
            continue;
        }
        // Protection that came up meanwhile made the flash ignore the page.
        return Protection(status.value, address).value_or(Succeeded());
    }
    return Fail(FailureKind::ProgramFailed, address);
}

JobResult FlashWalks::ProgramRange(std::uint32_t start, std::uint32_t end,
                                   const ImagePlacement& placement) {
    const std::uint32_t page = flash_.FlashPageSize;
    if (page == 0 || page > kMaxFlashPage)  // the flash was never identified
        return Fail(FailureKind::IdentifyFailed);
    std::optional<std::uint32_t> lastPage;
    std::uint32_t a = start;
    while (a < end) {
        if (auto stop = StopAt(a)) return *stop;
        std::array<std::uint8_t, kMaxFlashPage> buffer{};
        for (std::uint32_t k = 0; k < page; ++k) buffer[k] = placement.ByteAt(a + k);
        const bool blank = std::all_of(buffer.begin(), buffer.begin() + page,
                                       [](std::uint8_t byte) { return byte == 0xFF; });
        if (!blank) {
            const JobResult enabled = EnableWriteForPage(a);
            view_.ShowProcessAddress(Address6(a));
            ShowProgress(start, end, std::min(end, a + page));
            view_.PumpEvents();
            if (!enabled.Ok()) return enabled;
            if (const Reply sent = ProgramFlashPage(device_, a, std::span(buffer).first(page));
                sent != Reply::Done)
                return Fail(FailureKind::ProgramFailed, a, sent);
            lastPage = a;
            for (int i = 0; i < kPageDonePolls && !device_.Unreachable(); ++i) {
                device_.Host().Sleep(1);
                if (FlashReady(device_).value) break;
            }
        }
        if (end - a <= page) break;  // the last page: a + page could wrap past 0xFFFFFFFF
        a += page;
    }
    if (!lastPage) return Succeeded();
    return WaitAfterLastPage(*lastPage);
}

}  // namespace qv
