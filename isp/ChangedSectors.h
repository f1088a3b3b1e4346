#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "isp/FlashWalks.h"

namespace qv {

// Flashing that touches only the 4 KB sectors whose content differs from the image, for a chip
// that mostly holds it already. Every sector the image's range touches is read first (blocks of
// the flash context's read size, the walks' three attempts per block) and compared with the
// image; a sector that already holds its part is left alone, one that reads all 0xFF there is
// programmed without an erase, any other is erased, programmed and verified. Bytes of a
// sector outside the range are read before the erase and programmed back (tried twice, and
// not cut short by a stop request, so they are not lost). The flash must be
// identified and its protection cleared; the caller protects it and leaves ISP mode after.
//
// The job succeeds only when the whole range equals the image: the sectors left alone were
// each read in full and matched, every rewritten sector is verified after its programming.
class ChangedSectors {
public:
    ChangedSectors(QuorvexUsb& device, IspView& view, const FlashContext& flash,
                   const bool& stopRequested);

    // Rewrites what differs in [start, end) and shows the verdict ("3 of 192 sectors
    // changed") on success, or where it failed. mayEraseChip allows one chip erase in place of
    // the sector erases when that is estimated to be faster (the range is the whole flash,
    // which a chip erase also clears beyond the range).
    JobResult Rewrite(std::uint32_t start, std::uint32_t end, const ImagePlacement& placement,
                      bool mayEraseChip);

private:
    // What the first read found in the part of a sector the range covers.
    enum class Found { Image, Blank, Other };
    struct Sector {
        std::uint32_t address = 0;
        Found found = Found::Other;
        // The whole sector as read, kept where the range covers only part of it.
        std::vector<std::uint8_t> before;
    };

    JobResult Survey(Sector& sector);
    JobResult RewriteSector(const Sector& sector, bool erased);
    bool ChipEraseIsFaster(const std::vector<Sector>& sectors, std::uint64_t surveyMs,
                           std::uint64_t blocksRead) const;
    // The part of the sector the range covers, [first, last).
    std::uint32_t First(const Sector& sector) const;
    std::uint32_t Last(const Sector& sector) const;
    QuorvexUsb& device_;
    IspView& view_;
    const FlashContext& flash_;
    FlashWalks walks_;
    std::uint32_t start_ = 0;
    std::uint32_t end_ = 0;
    const ImagePlacement* placement_ = nullptr;
    std::uint64_t blocksRead_ = 0;
};

// "N of M sectors changed", the verdict of a run that succeeded.
std::string ChangedSectorsVerdict(std::size_t changed, std::size_t sectors);

}  // namespace qv
