#include "sim/SimFlash.h"

#include <algorithm>

namespace qv::sim {

namespace {
constexpr std::uint8_t kFloatingBus = 0xFF;  // what the host reads when the part does not drive
constexpr std::size_t kAddressEnd = 4;       // instruction byte + 3 address bytes
constexpr std::size_t kUniqueIdStart = 5;    // instruction byte + 4 dummy bytes
}  // namespace

SimFlash::SimFlash(SimClock& clock, const FlashChip& chip, const FlashFaults& faults)
    : clock_(clock), chip_(chip), faults_(faults), memory_(chip.sizeBytes, 0xFF) {}

bool SimFlash::SetContents(std::span<const std::uint8_t> image) {
    if (image.size() != memory_.size()) return false;
    std::copy(image.begin(), image.end(), memory_.begin());
    return true;
}

void SimFlash::Store(std::uint32_t address, std::span<const std::uint8_t> bytes) {
    if (address >= memory_.size()) return;
    const std::size_t count = std::min(bytes.size(), memory_.size() - address);
    std::copy_n(bytes.begin(), count, memory_.begin() + address);
}

void SimFlash::SetStoredStatus(std::uint8_t bits) { statusBits_ = bits & chip_.writableStatusBits; }

bool SimFlash::IsBusy() const { return faults_.staysBusy || clock_.NowUs() < busyUntilUs_; }

std::uint8_t SimFlash::Status() const {
    std::uint8_t status = statusBits_;
    if (faults_.protectionStuck) status |= chip_.blockProtectMask;
    // The latch stays set while the operation it enabled runs.
    if (writeEnabled_ || clock_.NowUs() < busyUntilUs_) status |= kWriteEnableLatch;
    if (IsBusy()) status |= kBusyBit;
    return status;
}

void SimFlash::Select() {
    if (selected_) Deselect();
    selected_ = true;
    ignored_ = false;
    received_.clear();
}

std::uint8_t SimFlash::Exchange(std::uint8_t in) {
    if (!selected_) return kFloatingBus;
    if (received_.empty()) ignored_ = IsBusy() && in != spi::kReadStatus;
    received_.push_back(in);
    return ignored_ ? kFloatingBus : Answer(received_.size() - 1);
}

// The byte the part drives while the byte at `position` of the instruction is clocked in.
std::uint8_t SimFlash::Answer(std::size_t position) const {
    if (position == 0) return kFloatingBus;
    switch (received_[0]) {
        case spi::kJedecId:
            return position <= chip_.jedecId.size() ? chip_.jedecId[position - 1] : kFloatingBus;
        case spi::kReadStatus:
            return Status();
        case spi::kReadUniqueId: {
            if (!chip_.uniqueId || position < kUniqueIdStart) return kFloatingBus;
            const std::size_t index = position - kUniqueIdStart;
            const auto id = uniqueId_.value_or(std::array<std::uint8_t, 8>{});
            return index < id.size() ? id[index] : kFloatingBus;
        }
        case spi::kReadData:
            if (position < kAddressEnd) return kFloatingBus;
            return memory_[(Address() + position - kAddressEnd) % memory_.size()];
        default:
            return kFloatingBus;
    }
}

void SimFlash::Deselect() {
    if (!selected_) return;
    selected_ = false;
    if (!ignored_ && !received_.empty()) Execute();
    received_.clear();
}

// Runs a write-type instruction when chip select rises. As on real parts, an instruction with
// the wrong number of bytes (chip select released mid-way) is not executed.
void SimFlash::Execute() {
    const std::size_t length = received_.size();
    switch (received_[0]) {
        case spi::kWriteEnable:
            if (length == 1 && !faults_.writeEnableIgnored) writeEnabled_ = true;
            break;
        case spi::kWriteDisable:
            if (length == 1) writeEnabled_ = false;
            break;
        case spi::kWriteStatus:
            if (length == 2 && TakeWriteEnable()) WriteStatus();
            break;
        case spi::kPageProgram:
            if (length > kAddressEnd && TakeWriteEnable()) ProgramPage();
            break;
        // An erase the flash ignores leaves its latch set, as one it never took.
        case spi::kSectorErase:
            if (length == kAddressEnd && !faults_.eraseIgnored && TakeWriteEnable()) EraseSector();
            break;
        case spi::kChipErase:
        case spi::kChipEraseAlt:
            if (length == 1 && !faults_.eraseIgnored && TakeWriteEnable()) EraseChip();
            break;
        default:
            break;
    }
}

// A write-type instruction consumes the latch; false when it was not set.
bool SimFlash::TakeWriteEnable() {
    const bool enabled = writeEnabled_;
    writeEnabled_ = false;
    return enabled;
}

std::uint32_t SimFlash::Address() const {
    return (std::uint32_t{received_[1]} << 16) | (std::uint32_t{received_[2]} << 8) |
           std::uint32_t{received_[3]};
}

void SimFlash::WriteStatus() {
    if (faults_.writeProtectPinLow && (statusBits_ & kStatusRegisterProtect)) return;
    statusBits_ = received_[1] & chip_.writableStatusBits;
    if (faults_.protectionLost) statusBits_ &= static_cast<std::uint8_t>(~chip_.blockProtectMask);
    StartBusy(chip_.statusWriteUs, chip_.statusWriteMaxUs);
}

// Bytes past the end of the page wrap to its start; of bytes sent twice the last counts. The
// cells can only go from 1 to 0, so the page becomes old AND new.
void SimFlash::ProgramPage() {
    if (Status() & chip_.blockProtectMask) return;
    const std::uint32_t address = Address() % chip_.sizeBytes;
    const std::uint32_t pageStart = address - address % chip_.pageSize;
    std::vector<std::uint8_t> buffer(chip_.pageSize, 0xFF);
    std::uint32_t offset = address % chip_.pageSize;
    for (std::size_t i = kAddressEnd; i < received_.size(); ++i) {
        buffer[offset] = received_[i];
        offset = (offset + 1) % chip_.pageSize;
    }
    if (faults_.weakPagePrograms.contains(++pagePrograms_)) buffer[0] |= 0x01;
    for (std::uint32_t k = 0; k < chip_.pageSize; ++k) memory_[pageStart + k] &= buffer[k];
    StartBusy(chip_.pageProgramUs, chip_.pageProgramMaxUs);
}

void SimFlash::EraseSector() {
    if (Status() & chip_.blockProtectMask) return;
    const std::uint32_t address = Address() % chip_.sizeBytes;
    const auto start = memory_.begin() + (address - address % chip_.sectorSize);
    std::fill(start, start + chip_.sectorSize, 0xFF);
    StartBusy(chip_.sectorEraseUs, chip_.sectorEraseMaxUs);
}

void SimFlash::EraseChip() {
    if (Status() & chip_.blockProtectMask) return;
    std::fill(memory_.begin(), memory_.end(), 0xFF);
    StartBusy(chip_.chipEraseUs, chip_.chipEraseMaxUs);
}

void SimFlash::StartBusy(std::uint32_t typicalUs, std::uint32_t maxUs) {
    busyUntilUs_ = clock_.NowUs() + (faults_.slow ? maxUs : typicalUs);
}

}  // namespace qv::sim
