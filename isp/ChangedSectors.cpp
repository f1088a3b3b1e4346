#include "isp/ChangedSectors.h"

#include <algorithm>
#include <array>

#include "isp/RangeCheck.h"

namespace qv {
namespace {

// Typical figures for the estimate of what a chip erase saves: a 4 KB sector erase takes about
// 45 ms and is polled every 10 ms; a chip erase takes about 2 s per MiB of the part.
constexpr double kSectorEraseMs = 50;
constexpr double kChipEraseMsPerMiB = 2000;
constexpr double kMinChipEraseMs = 1000;

}  // namespace

std::string ChangedSectorsVerdict(std::size_t changed, std::size_t sectors) {
    return std::to_string(changed) + " of " + std::to_string(sectors) + " sectors changed";
}

ChangedSectors::ChangedSectors(QuorvexUsb& device, IspView& view, const FlashContext& flash,
                               const bool& stopRequested)
    : device_(device),
      view_(view),
      flash_(flash),
      stopRequested_(stopRequested),
      walks_(device, view, flash, stopRequested) {}

std::uint32_t ChangedSectors::First(const Sector& sector) const {
    return std::max(sector.address, start_);
}

std::uint32_t ChangedSectors::Last(const Sector& sector) const {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{sector.address} + kSectorSize, end_));
}

bool ChangedSectors::Fail(const std::string& text) {
    if (stopRequested_) return false;
    if (device_.Unanswering())
        view_.ShowProcessInfo(kChipSilentText);
    else if (!text.empty())
        view_.ShowProcessInfo(text);
    return false;
}

bool ChangedSectors::Rewrite(std::uint32_t start, std::uint32_t end,
                             const ImagePlacement& placement, bool mayEraseChip) {
    start_ = start;
    end_ = end;
    placement_ = &placement;
    blocksRead_ = 0;
    std::vector<Sector> sectors;
    for (std::uint64_t a = start - start % kSectorSize; a < end; a += kSectorSize)
        sectors.push_back({static_cast<std::uint32_t>(a), Found::Other, {}});

    view_.ShowProcessInfo("Comparing with the image");
    const std::uint64_t surveyStart = device_.Host().NowMs();
    for (Sector& sector : sectors) {
        if (!Survey(sector)) return false;
    }
    const bool chipErase =
        mayEraseChip &&
        ChipEraseIsFaster(sectors, device_.Host().NowMs() - surveyStart, blocksRead_);
    if (chipErase && !walks_.EraseWholeChip()) return Fail("Erase Flash Fail");

    std::size_t changed = 0;
    for (const Sector& sector : sectors) {
        changed += sector.found != Found::Image ? 1 : 0;
        // After a chip erase every sector is written again, those that held the image too.
        if (sector.found == Found::Image && !chipErase) continue;
        if (!RewriteSector(sector, chipErase)) return false;
    }
    view_.ShowProcessInfo(ChangedSectorsVerdict(changed, sectors.size()));
    return true;
}

// Reads the part of the sector the range covers and compares it with the image; a sector the
// range covers only in part is read whole and kept, for its bytes outside the range. Reading
// a whole sector stops at the first block that shows it must be erased.
bool ChangedSectors::Survey(Sector& sector) {
    const std::uint32_t first = First(sector);
    const std::uint32_t last = Last(sector);
    const std::uint32_t sectorEnd = sector.address + kSectorSize;
    const bool partial = first != sector.address || last != sectorEnd;
    const std::uint32_t from = partial ? sector.address : first;
    const std::uint32_t to = partial ? sectorEnd : last;
    if (partial) sector.before.assign(kSectorSize, 0xFF);
    const std::uint32_t size = walks_.ReadBlockSize();
    const std::uint32_t surveyFrom = start_ - start_ % kSectorSize;
    bool image = true;
    bool blank = true;
    std::array<std::uint8_t, kMaxReadBlock> storage{};
    for (std::uint32_t a = from; a < to && (partial || image || blank); a += size) {
        if (walks_.StopAt(a)) return false;
        const auto block = std::span(storage).first(std::min(size, to - a));
        // Each byte inverted from what would make the sector pass as holding the image.
        for (std::uint32_t k = 0; k < block.size(); ++k)
            block[k] = static_cast<std::uint8_t>(~placement_->ByteAt(a + k));
        if (!walks_.ReadBlock(a, block)) return Fail("Reading Fail at " + Address6(a));
        ++blocksRead_;
        for (std::uint32_t k = 0; k < block.size(); ++k) {
            if (a + k < first || a + k >= last) continue;
            image = image && block[k] == placement_->ByteAt(a + k);
            blank = blank && block[k] == 0xFF;
        }
        if (partial) std::copy(block.begin(), block.end(), sector.before.begin() + (a - from));
        view_.ShowProcessAddress("Comparing Addr: " + Address6(a));
        view_.ShowProgress(std::min(
            1.0, static_cast<double>(a + block.size() - surveyFrom) / (end_ - surveyFrom)));
        view_.PumpEvents();
    }
    sector.found = image ? Found::Image : blank ? Found::Blank : Found::Other;
    return true;
}

// Erases the sector unless it reads blank where the image goes (or the chip was erased),
// programs its pages that are not all 0xFF and verifies it. Bytes outside the range take the
// content read before the erase; where nothing was erased they are left as they are (0xFF
// programs nothing) and not verified.
bool ChangedSectors::RewriteSector(const Sector& sector, bool chipErased) {
    const std::uint32_t s = sector.address;
    if (walks_.StopAt(s)) return false;
    view_.ShowProcessInfo("Rewriting sector " + Address6(s));
    const bool erase = sector.found == Found::Other && !chipErased;
    if (erase && !walks_.EraseSectors(s, kSectorSize))
        return Fail("Erase Flash Fail at " + Address6(s));
    const bool restore = (erase || chipErased) && !sector.before.empty();
    const std::uint32_t first = First(sector);
    const std::uint32_t last = Last(sector);
    std::vector<std::uint8_t> wanted(kSectorSize, 0xFF);
    for (std::uint32_t k = 0; k < kSectorSize; ++k) {
        const std::uint32_t a = s + k;
        if (a >= first && a < last)
            wanted[k] = placement_->ByteAt(a);
        else if (restore)
            wanted[k] = sector.before[k];
    }
    const ImagePlacement sectorContent{wanted, s};
    if (!walks_.ProgramRange(s, s + kSectorSize, sectorContent))
        return Fail("Programming Fail at " + Address6(s));
    const bool verified = restore ? walks_.VerifyRange(s, s + kSectorSize, sectorContent)
                                  : walks_.VerifyRange(first, last, sectorContent);
    return verified || Fail("");
}

// A chip erase saves the sector erases but takes the sectors that already held the image with
// it: those must be programmed and verified again, which costs about a read of the sector for
// the verify, as much again for the programming, and 1 ms per page. The cost of a sector read
// is the one just measured.
bool ChangedSectors::ChipEraseIsFaster(const std::vector<Sector>& sectors, std::uint64_t surveyMs,
                                       std::uint64_t blocksRead) const {
    const auto toErase = std::count_if(sectors.begin(), sectors.end(),
                                       [](const Sector& s) { return s.found == Found::Other; });
    const auto toRedo = std::count_if(sectors.begin(), sectors.end(),
                                      [](const Sector& s) { return s.found == Found::Image; });
    if (toErase == 0 || blocksRead == 0 || flash_.FlashPageSize == 0) return false;
    const double mib = static_cast<double>(FlashCapacity(flash_.ChipId)) / (1u << 20);
    const double chipEraseMs = std::max(kMinChipEraseMs, kChipEraseMsPerMiB * mib);
    const std::uint32_t size = walks_.ReadBlockSize();
    const double blocksPerSector = (kSectorSize + size - 1) / size;
    const double sectorReadMs = static_cast<double>(surveyMs) / blocksRead * blocksPerSector;
    const double redoMs = 2 * sectorReadMs + kSectorSize / flash_.FlashPageSize;
    return chipEraseMs + static_cast<double>(toRedo) * redoMs <
           static_cast<double>(toErase) * kSectorEraseMs;
}

}  // namespace qv
