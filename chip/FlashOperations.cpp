#include "chip/FlashOperations.h"

#include <algorithm>
#include <vector>

#include "chip/FlashParts.h"
#include "chip/FlashRequests.h"
#include "chip/Registers.h"

namespace qv {
namespace {

constexpr int kChipIdPolls = 100;
constexpr int kStatusPolls = 10;
constexpr int kReadDataPolls = 100;
constexpr std::uint32_t kReadDataPauseMs = 1;
// A block larger than the default takes the chip longer than one transfer to clock out of the
// flash (255 bytes and the instruction: 2072 SPI clocks); its first "not ready" answers are
// asked again at once rather than after the pause.
constexpr int kLargeBlockQuickPolls = 2;

// 24-bit address, most significant byte first.
std::array<std::uint8_t, 3> AddressBytes(std::uint32_t address) {
    return {static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address)};
}

}  // namespace

std::uint16_t PageSizeFor(const std::array<std::uint8_t, 3>& chipId) {
    return PartFor(chipId).pageSize;
}

// A collect request that failed leaves the chip holding the previous instruction's response,
// which the ready poll and the fetch would then deliver as this one's: it is a failed read.
Reply ReadChipId(QuorvexUsb& device, FlashContext& flash) {
    if (const Reply started = StartFlashRead(device, kReadIdInstruction, 3); started != Reply::Done)
        return started;
    if (const Reply ready = AwaitFlashReady(device, kChipIdPolls); ready != Reply::Done)
        return ready;
    std::array<std::uint8_t, 3> id{};
    const Reply fetched = FetchFlashResponse(device, id);
    if (fetched != Reply::Done) return fetched;
    // No flash part answers FF FF FF: that is the bus idling high, a flash that is busy (or
    // absent) and did not take the instruction. It is no identification: the flash refused it.
    if (id == std::array<std::uint8_t, 3>{0xFF, 0xFF, 0xFF}) return Reply::Refused;
    flash.ChipId = id;
    return Reply::Done;
}

// The instruction takes four dummy bytes before the ID. The collect request clocks out the
// instruction with three of them; the first collected byte is clocked while the fourth goes
// out, and the eight after it are the ID.
Reply ReadUniqueId(QuorvexUsb& device, FlashContext& flash) {
    std::uint8_t instruction[4] = {kReadUniqueIdInstruction, 0, 0, 0};
    std::array<std::uint8_t, 9> response{};
    const Reply started = device.VendorRequest(kVendorOut, kFlashCollectRequest,
                                         static_cast<std::uint16_t>(response.size()),
                                         kEndInstruction, instruction);
    if (started != Reply::Done) return started;
    if (const Reply ready = AwaitFlashReady(device, kChipIdPolls); ready != Reply::Done)
        return ready;
    const Reply fetched = FetchFlashResponse(device, response);
    if (fetched == Reply::Done) {
        flash.UniqueId.emplace();
        std::copy(response.begin() + 1, response.end(), flash.UniqueId->begin());
    }
    return fetched;
}

Reply WriteEnable(QuorvexUsb& device) {
    return SendFlashInstruction(device, kWriteEnableInstruction);
}

Reply WriteDisable(QuorvexUsb& device) {
    return SendFlashInstruction(device, kWriteDisableInstruction);
}

ReplyWith<std::uint8_t> ReadFlashStatus(QuorvexUsb& device) {
    if (const Reply started = StartFlashRead(device, kReadStatusInstruction, 1);
        started != Reply::Done)
        return {started};
    if (const Reply ready = AwaitFlashReady(device, kStatusPolls); ready != Reply::Done)
        return {ready};
    // All ones reads as busy and protected, should a status that never arrived be looked at.
    std::uint8_t status = 0xFF;
    const Reply fetched = FetchFlashResponse(device, std::span(&status, 1));
    return {fetched, status};
}

Reply WriteFlashStatus(QuorvexUsb& device, std::uint8_t status) {
    return SendFlashInstruction(device, kWriteStatusInstruction, std::span(&status, 1));
}

Reply EraseChip(QuorvexUsb& device) { return SendFlashInstruction(device, kChipEraseInstruction); }

Reply EraseSector(QuorvexUsb& device, std::uint32_t address) {
    return SendFlashInstruction(device, kSectorEraseInstruction, AddressBytes(address));
}

Reply ProgramFlashPage(QuorvexUsb& device, std::uint32_t address,
                       std::span<const std::uint8_t> data) {
    const auto a = AddressBytes(address);
    std::uint8_t header[4] = {kPageProgramInstruction, a[0], a[1], a[2]};
    // Without the address phase no instruction is open: the page's bytes would reach the flash
    // as an instruction of their own.
    if (const Reply opened =
            device.VendorRequest(kVendorOut, kFlashWriteRequest, 0, kKeepInstructionOpen, header);
        opened != Reply::Done)
        return opened;
    std::vector<std::uint8_t> page(data.begin(),
                                   data.begin() + std::min(data.size(), kMaxFlashPage));
    const Reply sent = device.VendorRequest(kVendorOut, kFlashWriteRequest, 0, kEndInstruction, page);
    // A refused data phase leaves the instruction open, and the next bytes sent would be taken
    // as page data: a collect request ends it first. Its own reply is not looked at: the page
    // has failed already, and what follows reads the status anyway.
    if (sent != Reply::Done && !device.Unreachable())
        static_cast<void>(StartFlashRead(device, kReadStatusInstruction, 1));
    return sent;
}

Reply ReadFlashData(QuorvexUsb& device, std::uint32_t address, std::span<std::uint8_t> buffer) {
    const auto a = AddressBytes(address);
    std::uint8_t command[4] = {kReadDataInstruction, a[0], a[1], a[2]};
    if (const Reply started = device.VendorRequest(kVendorOut, kFlashCollectRequest,
                                             static_cast<std::uint16_t>(buffer.size()),
                                             kEndInstruction, command);
        started != Reply::Done)
        return started;
    const int quickPolls = buffer.size() > kDefaultReadBlock ? kLargeBlockQuickPolls : 0;
    if (const Reply ready = AwaitFlashReady(device, kReadDataPolls, kReadDataPauseMs, quickPolls);
        ready != Reply::Done)
        return ready;
    return FetchFlashResponse(device, buffer);
}

}  // namespace qv
