#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "device/QuorvexUsb.h"

namespace qv {

// SPI flash instructions the tool sends.
inline constexpr std::uint8_t kReadIdInstruction = 0x9F;
inline constexpr std::uint8_t kWriteEnableInstruction = 0x06;
inline constexpr std::uint8_t kWriteDisableInstruction = 0x04;
inline constexpr std::uint8_t kReadStatusInstruction = 0x05;
inline constexpr std::uint8_t kWriteStatusInstruction = 0x01;
inline constexpr std::uint8_t kChipEraseInstruction = 0xC7;
inline constexpr std::uint8_t kSectorEraseInstruction = 0x20;
inline constexpr std::uint8_t kPageProgramInstruction = 0x02;
inline constexpr std::uint8_t kReadDataInstruction = 0x03;
inline constexpr std::uint8_t kReadUniqueIdInstruction = 0x4B;

inline constexpr std::size_t kMaxFlashPage = 256;

// Status register bits: the write in progress and the write-enable latch; which bits protect
// blocks depends on the part (FlashParts.h).
inline constexpr std::uint8_t kBusyBit = 0x01;
inline constexpr std::uint8_t kWriteEnableLatch = 0x02;
// Bytes per read-data request: the walks read 64 unless told otherwise; the request's count
// field carries 1 to 255.
inline constexpr std::uint8_t kDefaultReadBlock = 64;
inline constexpr std::size_t kMaxReadBlock = 255;

// What the tool knows of the flash during a run.
struct FlashContext {
    std::array<std::uint8_t, 3> ChipId{};  // manufacturer, memory type, capacity
    std::uint16_t FlashPageSize = 0;       // bytes per page-program instruction, at most 256
    std::uint8_t ReadBlockSize = kDefaultReadBlock;  // bytes per read-data request, 1 to 255
    std::optional<std::array<std::uint8_t, 8>> UniqueId;  // when read
};

// The page size the tool programs with for an identified flash (the parts table's).
std::uint16_t PageSizeFor(const std::array<std::uint8_t, 3>& chipId);

// Reads the identification into flash.ChipId; a read that did not arrive whole (a refused
// collect request, no ready answer, a short fetch) leaves it alone, and so does FF FF FF (a
// busy flash's answer), which is Refused.
Reply ReadChipId(QuorvexUsb& device, FlashContext& flash);
// Reads the part's unique 64-bit ID into flash.UniqueId, on the same terms as ReadChipId.
Reply ReadUniqueId(QuorvexUsb& device, FlashContext& flash);
Reply WriteEnable(QuorvexUsb& device);
Reply WriteDisable(QuorvexUsb& device);
// The status register, when its collect request went through, the chip answered ready and the
// fetch brought the byte.
ReplyWith<std::uint8_t> ReadFlashStatus(QuorvexUsb& device);
Reply WriteFlashStatus(QuorvexUsb& device, std::uint8_t status);
Reply EraseChip(QuorvexUsb& device);
Reply EraseSector(QuorvexUsb& device, std::uint32_t address);
// Address phase (kept open) and data phase, the data only after the address went through; Done
// only when both did. A failed data phase is followed by a request that ends the open
// instruction. Does not wait for the page to be written.
Reply ProgramFlashPage(QuorvexUsb& device, std::uint32_t address,
                       std::span<const std::uint8_t> data);
Reply ReadFlashData(QuorvexUsb& device, std::uint32_t address, std::span<std::uint8_t> buffer);

}  // namespace qv
