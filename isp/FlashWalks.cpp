#include "isp/FlashWalks.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "chip/FlashRequests.h"
#include "common/HexFormat.h"
#include "isp/RangeCheck.h"

namespace qv {
namespace {

constexpr int kErasePolls = 1000;
constexpr std::uint32_t kErasePauseMs = 10;
constexpr int kPageWaitReads = 101;
constexpr int kPageDonePolls = 10;
constexpr int kBlockAttempts = 3;
constexpr std::uint8_t kBusyBit = 0x01;
constexpr std::uint8_t kWriteEnableLatch = 0x02;
constexpr std::uint8_t kBlockProtectBits = 0x1C;

bool Busy(std::uint8_t status) { return (status & kBusyBit) != 0; }

// Fills the block buffer with each expected byte inverted: no byte of it can pass.
void Invert(std::span<const std::uint8_t> expected, std::span<std::uint8_t> block) {
    std::transform(expected.begin(), expected.begin() + block.size(), block.begin(),
                   [](std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); });
}

}  // namespace

std::string Address6(std::uint32_t address) { return "0x" + Hex6(address); }

std::uint8_t ImagePlacement::ByteAt(std::uint32_t address) const {
    const std::uint32_t offset = address - rangeStart;
    return offset < image.size() ? image[offset] : 0xFF;
}

FlashWalks::FlashWalks(QuorvexUsb& device, IspView& view, const FlashContext& flash,
                       const bool& stopRequested)
    : device_(device), view_(view), flash_(flash), stopRequested_(stopRequested) {}

bool FlashWalks::StopAt(std::uint32_t address) {
    if (device_.Unanswering()) {
        view_.ShowProcessInfo(kChipSilentText);
        return true;
    }
    if (!stopRequested_) return false;
    view_.ShowProcessInfo("Stopped at " + Address6(address));
    return true;
}

void FlashWalks::ShowProgress(std::uint32_t start, std::uint32_t end, std::uint32_t address) {
    if (end > start) view_.ShowProgress(static_cast<double>(address - start) / (end - start));
}

// One erase instruction's polls: the caption grows a full stop every 20 polls, nine at most.
// A stop request or a silent chip ends the wait (the flash may still be erasing).
bool FlashWalks::PollErase(const std::string& caption, int polls, std::uint32_t address) {
    for (int poll = 0; poll < polls; ++poll) {
        if (StopAt(address)) return false;
        const std::uint8_t status = ReadFlashStatus(device_);
        view_.ShowProcessInfo(caption + std::string((poll / 20) % 10, '.'));
        view_.ShowStatusRegister("Status Register: 0x" + Hex2(status));
        view_.ShowProgress(static_cast<double>(poll) / polls);
        view_.PumpEvents();
        // Protection that came back after it was cleared made the flash refuse the erase.
        if (!Busy(status)) return (status & kBlockProtectBits) == 0;
        device_.Host().Sleep(kErasePauseMs);
    }
    return false;
}

// An erase instruction is taken only by an idle, unprotected flash whose write enable latch is
// set, and an erase it ignored leaves nothing busy to poll: the polls would report it done.
// So the status read after the write enable must show the latch alone, and the instruction's
// request must go through; otherwise the erase has not started.
bool FlashWalks::StartErase(const std::function<bool()>& sendErase) {
    WriteEnable(device_);
    const std::uint8_t status = ReadFlashStatus(device_);
    if ((status & (kBusyBit | kWriteEnableLatch | kBlockProtectBits)) != kWriteEnableLatch)
        return false;
    if (!sendErase()) return false;
    device_.Host().Sleep(kErasePauseMs);
    return true;
}

bool FlashWalks::EraseWholeChip() {
    const std::string caption = "Flash Erase All ";
    view_.ShowProcessInfo(caption);
    if (!StartErase([&] { return EraseChip(device_); })) return false;
    return PollErase(caption, ChipErasePolls(flash_.ChipId), 0);
}

bool FlashWalks::EraseSectors(std::uint32_t rangeStart, std::uint32_t rangeSize) {
    view_.ShowProcessInfo("Flash Sector Erase");
    bool allFinished = true;
    const std::uint64_t end = std::uint64_t{rangeStart} + rangeSize;
    for (std::uint64_t a = rangeStart; a < end; a += kSectorSize) {
        const auto address = static_cast<std::uint32_t>(a);
        if (StopAt(address)) return false;
        ShowProgress(rangeStart,
                     static_cast<std::uint32_t>(std::min<std::uint64_t>(end, UINT32_MAX)), address);
        if (!StartErase([&] { return EraseSector(device_, address); }) ||
            !PollErase("Flash Sector Erase: 0x " + Hex6(address), kErasePolls, address)) {
            if (stopRequested_ || device_.Unanswering()) return false;
            allFinished = false;
        }
    }
    return allFinished;
}

bool FlashWalks::WaitWhileBusy(int polls) {
    for (int i = 0; i < polls && !device_.Unanswering(); ++i) {
        if (!Busy(ReadFlashStatus(device_))) return true;
        device_.Host().Sleep(kErasePauseMs);
    }
    return false;
}

bool FlashWalks::BlankCheckRange(std::uint32_t start, std::uint32_t end) {
    return WalkBlocks(start, end, BlockCheck::Blank, nullptr, nullptr);
}

bool FlashWalks::VerifyRange(std::uint32_t start, std::uint32_t end,
                             const ImagePlacement& placement) {
    return WalkBlocks(start, end, BlockCheck::Verify, &placement, nullptr);
}

bool FlashWalks::ReadBackRange(std::uint32_t start, std::uint32_t end,
                               std::vector<std::uint8_t>& buffer) {
    if (buffer.size() < end) buffer.resize(end);
    std::fill(buffer.begin() + start, buffer.begin() + end, kUnreadByte);
    return WalkBlocks(start, end, BlockCheck::ReadBack, nullptr, &buffer);
}

// Reads blocks of the flash context's read size (64 unless told otherwise); a block gets
// three attempts in a row, a good block resets the count. Before each read the buffer is
// filled with bytes that cannot match what is expected there, so an answer that brings fewer
// bytes than asked is a mismatch even if it were taken for a good read.
bool FlashWalks::WalkBlocks(std::uint32_t start, std::uint32_t end, BlockCheck check,
                            const ImagePlacement* placement, std::vector<std::uint8_t>* readBack) {
    const char* addressCaption =
        check == BlockCheck::Blank ? "Blanking Addr: " : "Verifying Addr: ";
    const char* failCaption =
        check == BlockCheck::Blank ? "Blanking Fail at " : "Verifying Fail at ";
    const std::uint32_t size = ReadBlockSize();
    int errors = 0;
    std::uint32_t failingOffset = 0;
    std::uint32_t a = start;
    while (a < end) {
        if (StopAt(a)) return false;
        // Only the bytes before the end count; the read still asks for the whole block.
        const std::uint32_t counted = std::min(size, end - a);
        std::array<std::uint8_t, kMaxReadBlock> expected{};
        for (std::uint32_t k = 0; k < counted; ++k)
            expected[k] = check == BlockCheck::Verify ? placement->ByteAt(a + k) : 0xFF;
        std::array<std::uint8_t, kMaxReadBlock> storage{};
        const std::span block = std::span(storage).first(size);
        if (check != BlockCheck::ReadBack) Invert(expected, block);
        if (!ReadFlashData(device_, a, block)) {
            ++errors;
            failingOffset = 0;
        } else {
            if (check == BlockCheck::ReadBack) {
                // The second read is compared with the first; its own result is not examined,
                // so its buffer starts as the first read inverted.
                std::copy(block.begin(), block.begin() + counted, readBack->begin() + a);
                std::copy(block.begin(), block.end(), expected.begin());
                Invert(expected, block);
                ReadFlashData(device_, a, block);
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
            view_.ShowProcessInfo(device_.Unanswering() ? std::string(kChipSilentText)
                                                        : failCaption + Address6(a + failingOffset));
            return false;
        }
        if (errors == 0) {
            // A last block that reaches past 0xFFFFFFFF ends the walk: a + size would wrap.
            if (end - a <= size) break;
            a += size;
        }
    }
    if (start < end && !WaitWhileBusy(kBlockAttempts)) {
        view_.ShowProcessInfo(device_.Unanswering()        ? kChipSilentText
                              : check == BlockCheck::Blank ? "Blanking Fail: the flash is busy"
                                                           : "Verifying Fail: the flash is busy");
        return false;
    }
    return true;
}

bool FlashWalks::ReadBlock(std::uint32_t address, std::span<std::uint8_t> block) {
    for (int attempt = 0; attempt < kBlockAttempts && !device_.Unanswering(); ++attempt) {
        if (ReadFlashData(device_, address, block)) return true;
    }
    return false;
}

std::uint32_t FlashWalks::ReadBlockSize() const {
    const std::uint8_t size = flash_.ReadBlockSize;
    return size == 0 ? kDefaultReadBlock : size;
}

// Before a page, and after the last one: up to 101 status reads, 1 ms after each busy answer.
bool FlashWalks::WaitBeforePage() {
    for (int i = 0; i < kPageWaitReads && !device_.Unanswering(); ++i) {
        if (!Busy(ReadFlashStatus(device_))) return true;
        device_.Host().Sleep(1);
    }
    return false;
}

bool FlashWalks::ProgramRange(std::uint32_t start, std::uint32_t end,
                              const ImagePlacement& placement) {
    const std::uint32_t page = flash_.FlashPageSize;
    if (page == 0 || page > kMaxFlashPage) return false;  // the flash was never identified
    bool programmed = false;
    std::uint32_t a = start;
    while (a < end) {
        if (StopAt(a)) return false;
        std::array<std::uint8_t, kMaxFlashPage> buffer{};
        for (std::uint32_t k = 0; k < page; ++k) buffer[k] = placement.ByteAt(a + k);
        const bool blank = std::all_of(buffer.begin(), buffer.begin() + page,
                                       [](std::uint8_t byte) { return byte == 0xFF; });
        if (!blank) {
            const bool ready = WaitBeforePage();
            WriteEnable(device_);
            view_.ShowProcessAddress(Address6(a));
            ShowProgress(start, end, std::min(end, a + page));
            view_.PumpEvents();
            if (!ready) return false;
            ProgramFlashPage(device_, a, std::span(buffer).first(page));
            programmed = true;
            for (int i = 0; i < kPageDonePolls; ++i) {
                device_.Host().Sleep(1);
                if (FlashReady(device_)) break;
            }
        }
        if (end - a <= page) break;  // the last page: a + page could wrap past 0xFFFFFFFF
        a += page;
    }
    // The last page gets the same wait as every other: what follows (a verify, the protection
    // write) would find the flash still busy.
    return !programmed || WaitBeforePage();
}

}  // namespace qv
