#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "chip/FlashOperations.h"
#include "device/QuorvexUsb.h"
#include "isp/IspView.h"

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
// has opened. Each walk keeps to its poll and retry budgets and reports through the view.
// A raised stop flag ends a walk at the next block, page or erase poll: the walk fails with
// "Stopped at 0x" and the address reached. A chip that has stopped answering ends a walk the
// same way, with "The chip does not answer".
class FlashWalks {
public:
    FlashWalks(QuorvexUsb& device, IspView& view, const FlashContext& flash,
               const bool& stopRequested);

    // Chip erase and its status polls, as many as the identified size needs (at least 1000);
    // false when the erase did not start (see StartErase), the chip still reported busy at the
    // end, or the flash ended protected.
    bool EraseWholeChip();
    // One sector erase per 4 KB step from rangeStart below rangeStart + rangeSize, polls fresh
    // for each; false when any sector's erase did not start or its polls ran out.
    bool EraseSectors(std::uint32_t rangeStart, std::uint32_t rangeSize);

    // The block walks. A busy flash ignores the read instruction and the bus then reads 0xFF,
    // which a blank check or a read back would take for content: a walk that read its blocks
    // ends by reading the status (up to three times, 10 ms apart) and fails while the flash
    // still reports busy.
    bool BlankCheckRange(std::uint32_t start, std::uint32_t end);
    bool VerifyRange(std::uint32_t start, std::uint32_t end, const ImagePlacement& placement);
    bool ProgramRange(std::uint32_t start, std::uint32_t end, const ImagePlacement& placement);
    // Reads [start, end) into buffer (unread bytes stay 0x5A), each block twice to compare.
    bool ReadBackRange(std::uint32_t start, std::uint32_t end, std::vector<std::uint8_t>& buffer);

    // Reads the status until bit 0 clears, 10 ms apart, at most polls times; no report.
    bool WaitWhileBusy(int polls);

    // One read-data request into block (its size is the count asked), with the walks' three
    // attempts; false, with nothing shown, when all three failed. The caller fills the block
    // first with bytes that cannot pass for what it expects.
    bool ReadBlock(std::uint32_t address, std::span<std::uint8_t> block);
    // Bytes per read-data request: the flash context's, 64 unless told otherwise.
    std::uint32_t ReadBlockSize() const;
    // True, with the reason shown, when the walk must end here: a stop request ("Stopped at
    // 0x" and the address) or a chip that has stopped answering.
    bool StopAt(std::uint32_t address);

private:
    enum class BlockCheck { Blank, Verify, ReadBack };
    bool WalkBlocks(std::uint32_t start, std::uint32_t end, BlockCheck check,
                    const ImagePlacement* placement, std::vector<std::uint8_t>* readBack);
    bool PollErase(const std::string& caption, int polls, std::uint32_t address);
    // Write enable, then the erase request sendErase makes, then the pause before the polls;
    // false when the flash cannot take the erase or the request failed.
    bool StartErase(const std::function<bool()>& sendErase);
    bool WaitBeforePage();
    void ShowProgress(std::uint32_t start, std::uint32_t end, std::uint32_t address);

    QuorvexUsb& device_;
    IspView& view_;
    const FlashContext& flash_;
    const bool& stopRequested_;
};

// "0x" and six upper-case hexadecimal digits, as the labels show flash addresses.
std::string Address6(std::uint32_t address);

inline constexpr const char* kChipSilentText = "The chip does not answer";

}  // namespace qv
