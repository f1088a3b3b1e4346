#include "isp/ChangedSectors.h"

#include <algorithm>
#include <array>


namespace qv {
namespace {

// The estimate of what a chip erase saves takes the part's typical erase times; an erase is
// polled every 10 ms, so it is seen done about 5 ms after it ends.
constexpr double kPollLagMs = 5;

}  // namespace

std::string ChangedSectorsVerdict(std::size_t changed, std::size_t sectors) {
    return std::to_string(changed) + " of " + std::to_string(sectors) + " sectors changed";
}

ChangedSectors::ChangedSectors(QuorvexUsb& device, IspView& view, const FlashContext& flash,
                               const bool& stopRequested)
    : device_(device),
      view_(view),
      flash_(flash),
      walks_(device, view, flash, stopRequested) {}

std::uint32_t ChangedSectors::First(const Sector& sector) const {
    return std::max(sector.address, start_);
}

std::uint32_t ChangedSectors::Last(const Sector& sector) const {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{sector.address} + kSectorSize, end_));
}

JobResult ChangedSectors::Rewrite(std::uint32_t start, std::uint32_t end,
                             const ImagePlacement& placement, bool mayEraseChip) {
    start_ = start;
    end_ = end;
    placement_ = &placement;
    blocksRead_ = 0;
    std::vector<Sector> sectors;
    for (std::uint64_t a = start - start % kSectorSize; a < end; a += kSectorSize)
        sectors.push_back({static_cast<std::uint32_t>(a), Found::Other, {}});

    view_.ShowProcessInfo("Comparing with the image");
    if (auto idle = walks_.AwaitIdleBeforeReading(FailureKind::ReadFailed, start); !idle.Ok())
        return idle;
    const std::uint64_t surveyStart = device_.Host().NowMs();
    for (Sector& sector : sectors) {
        if (auto surveyed = Survey(sector); !surveyed.Ok()) return surveyed;
    }
    const bool chipErase =
        mayEraseChip &&
        ChipEraseIsFaster(sectors, device_.Host().NowMs() - surveyStart, blocksRead_);
    if (chipErase) {
        if (auto erased = walks_.EraseWholeChip(); !erased.Ok()) return erased;
    }

    std::size_t changed = 0;
    for (const Sector& sector : sectors) {
        changed += sector.found != Found::Image ? 1 : 0;
        // After a chip erase every sector is written again, those that held the image too.
        if (sector.found == Found::Image && !chipErase) continue;
        if (auto rewritten = RewriteSector(sector, chipErase); !rewritten.Ok()) return rewritten;
    }
    const std::string verdict = ChangedSectorsVerdict(changed, sectors.size());
    view_.ShowProcessInfo(verdict);
    return Succeeded(verdict);
}

// Reads the part of the sector the range covers and compares it with the image; a sector the
// range covers only in part is read whole and kept, for its bytes outside the range. Reading
// a whole sector stops at the first block that shows it must be erased.
JobResult ChangedSectors::Survey(Sector& sector) {
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
        if (auto stop = walks_.StopAt(a)) return *stop;
        const auto block = std::span(storage).first(std::min(size, to - a));
        // Each byte inverted from what would make the sector pass as holding the image.
        for (std::uint32_t k = 0; k < block.size(); ++k)
            block[k] = static_cast<std::uint8_t>(~placement_->ByteAt(a + k));
        // Bytes outside the range are kept across an erase: two reads of them must agree.
        const bool keeps = partial && (a < first || a + block.size() > last);
        const Reply read = keeps ? walks_.ReadBlockTwice(a, block) : walks_.ReadBlock(a, block);
        if (read != Reply::Done) return walks_.Fail(FailureKind::ReadFailed, a, read);
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
    return Succeeded();
}

// Erases the sector unless it reads blank where the image goes (or the chip was erased),
// programs its pages that are not all 0xFF and verifies it. Bytes outside the range take the
// content read before the erase; where nothing was erased they are left as they are (0xFF
// programs nothing) and not verified.
JobResult ChangedSectors::RewriteSector(const Sector& sector, bool chipErased) {
    const std::uint32_t s = sector.address;
    if (auto stop = walks_.StopAt(s)) return *stop;
    view_.ShowProcessInfo("Rewriting sector " + Address6(s));
    const bool erase = sector.found == Found::Other && !chipErased;
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
    // A sector with bytes kept from before is erased and written back as one piece of work
    // that a stop does not cut short.
    if (erase && restore) return walks_.RewriteSector(s, sectorContent, first, last);
    if (erase) {
        if (auto erased = walks_.EraseRange(s, kSectorSize); !erased.Ok()) return erased;
    }
    if (auto programmed = walks_.ProgramRange(s, s + kSectorSize, sectorContent);
        !programmed.Ok())
        return programmed;
    return restore ? walks_.VerifyRange(s, s + kSectorSize, sectorContent)
                   : walks_.VerifyRange(first, last, sectorContent);
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
    const FlashPart part = walks_.Part();
    const double chipEraseMs = part.chipEraseMs + kPollLagMs;
    const double sectorEraseMs = part.sectorEraseMs + kPollLagMs;
    const std::uint32_t size = walks_.ReadBlockSize();
    const double blocksPerSector = (kSectorSize + size - 1) / size;
    const double sectorReadMs = static_cast<double>(surveyMs) / blocksRead * blocksPerSector;
    const double redoMs = 2 * sectorReadMs + kSectorSize / flash_.FlashPageSize;
    return chipEraseMs + static_cast<double>(toRedo) * redoMs <
           static_cast<double>(toErase) * sectorEraseMs;
}

}  // namespace qv
