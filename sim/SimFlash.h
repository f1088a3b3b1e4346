#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/FlashChip.h"
#include "sim/SimClock.h"
#include "sim/SimFaults.h"

namespace qv::sim {

// The SPI instructions the simulated flash understands.
namespace spi {
inline constexpr std::uint8_t kWriteStatus = 0x01;
inline constexpr std::uint8_t kPageProgram = 0x02;
inline constexpr std::uint8_t kReadData = 0x03;
inline constexpr std::uint8_t kWriteDisable = 0x04;
inline constexpr std::uint8_t kReadStatus = 0x05;
inline constexpr std::uint8_t kWriteEnable = 0x06;
inline constexpr std::uint8_t kSectorErase = 0x20;
inline constexpr std::uint8_t kReadUniqueId = 0x4B;
inline constexpr std::uint8_t kChipEraseAlt = 0x60;
inline constexpr std::uint8_t kJedecId = 0x9F;
inline constexpr std::uint8_t kChipErase = 0xC7;
}  // namespace spi

// An SPI NOR flash seen from its pins: chip select, then one byte exchanged per byte clocked.
// Read instructions answer while they are clocked; program, erase and the status write take
// effect when chip select is released, and then keep the part busy for their datasheet time
// on the simulated clock. Like a real part, a busy flash ignores every instruction but read
// status, and program, erase and status write need the write-enable latch, which reads set
// until the operation completes. Any block-protect bit set protects the whole array; with the
// write-protect pin low, the status register protect bit locks the status register.
class SimFlash {
public:
    static constexpr std::uint8_t kBusyBit = 0x01;
    static constexpr std::uint8_t kWriteEnableLatch = 0x02;
    static constexpr std::uint8_t kStatusRegisterProtect = 0x80;

    SimFlash(SimClock& clock, const FlashChip& chip, const FlashFaults& faults);

    const FlashChip& Chip() const { return chip_; }

    void Select();
    std::uint8_t Exchange(std::uint8_t in);
    void Deselect();

    std::uint8_t Status() const;
    bool IsBusy() const;

    std::span<const std::uint8_t> Contents() const { return memory_; }
    // The ID a part with one answers to Read Unique ID, after the instruction's four dummy
    // bytes; set once, when the part gets its ID (all zero until then).
    const std::optional<std::array<std::uint8_t, 8>>& UniqueId() const { return uniqueId_; }
    void SetUniqueId(const std::array<std::uint8_t, 8>& id) { uniqueId_ = id; }
    // The status register's non-volatile bits (those of bits 2 to 7 the part has: block
    // protection and its lock), as a part keeps them across power cycles.
    std::uint8_t StoredStatus() const { return statusBits_; }
    void SetStoredStatus(std::uint8_t bits);
    // Replaces the whole array; false (and nothing changed) unless the image has its size.
    bool SetContents(std::span<const std::uint8_t> image);
    // Stores bytes from an address on, as a programmer would have left them; what does not fit
    // the array is left out.
    void Store(std::uint32_t address, std::span<const std::uint8_t> bytes);

private:
    std::uint8_t Answer(std::size_t position) const;
    void Execute();
    bool TakeWriteEnable();
    std::uint32_t Address() const;
    void WriteStatus();
    void ProgramPage();
    void EraseSector();
    void EraseChip();
    void StartBusy(std::uint32_t typicalUs, std::uint32_t maxUs);

    SimClock& clock_;
    FlashChip chip_;
    const FlashFaults& faults_;
    std::vector<std::uint8_t> memory_;
    std::uint8_t statusBits_ = 0;  // the writable bits 2-7
    bool writeEnabled_ = false;
    std::uint64_t busyUntilUs_ = 0;
    unsigned pagePrograms_ = 0;  // page programs taken in so far
    bool selected_ = false;
    bool ignored_ = false;  // the instruction arrived while the part was busy
    std::vector<std::uint8_t> received_;
    std::optional<std::array<std::uint8_t, 8>> uniqueId_;
};

}  // namespace qv::sim
