#include "chip/FlashOperations.h"

#include <vector>

#include "chip/FlashRequests.h"
#include "chip/Registers.h"

namespace qv {
namespace {

constexpr int kChipIdPolls = 100;
constexpr int kStatusPolls = 10;
constexpr int kReadDataPolls = 100;
constexpr std::uint32_t kReadDataPauseMs = 1;

// 24-bit address, most significant byte first.
std::array<std::uint8_t, 3> AddressBytes(std::uint32_t address) {
    return {static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address)};
}

// Polls back to back, without a pause, until ready or the budget is spent; a chip that has
// stopped answering is not polled on.
bool PollReady(QuorvexUsb& device, int polls) {
    for (int i = 0; i < polls && !device.Unanswering(); ++i) {
        if (FlashReady(device)) return true;
    }
    return false;
}

}  // namespace

std::uint16_t PageSizeFor(const std::array<std::uint8_t, 3>& chipId) {
    return chipId[0] == 0xC2 && chipId[1] == 0x22 ? 32 : 256;
}

// A collect request that failed leaves the chip holding the previous instruction's response,
// which the ready poll and the fetch would then deliver as this one's: it is a failed read.
bool ReadChipId(QuorvexUsb& device, FlashContext& flash) {
    if (!StartFlashRead(device, kReadIdInstruction, 3)) return false;
    if (!PollReady(device, kChipIdPolls)) return false;
    return FetchFlashResponse(device, flash.ChipId);
}

bool WriteEnable(QuorvexUsb& device) {
    return SendFlashInstruction(device, kWriteEnableInstruction);
}

bool WriteDisable(QuorvexUsb& device) {
    return SendFlashInstruction(device, kWriteDisableInstruction);
}

std::uint8_t ReadFlashStatus(QuorvexUsb& device) {
    std::uint8_t status = kStatusTimedOut;
    if (!StartFlashRead(device, kReadStatusInstruction, 1)) return kStatusTimedOut;
    if (!PollReady(device, kStatusPolls)) return kStatusTimedOut;
    // A failed or short fetch counts as busy.
    if (!FetchFlashResponse(device, std::span(&status, 1))) return kStatusTimedOut;
    return status;
}

bool WriteFlashStatus(QuorvexUsb& device, std::uint8_t status) {
    return SendFlashInstruction(device, kWriteStatusInstruction, std::span(&status, 1));
}

bool EraseChip(QuorvexUsb& device) { return SendFlashInstruction(device, kChipEraseInstruction); }

bool EraseSector(QuorvexUsb& device, std::uint32_t address) {
    return SendFlashInstruction(device, kSectorEraseInstruction, AddressBytes(address));
}

bool ProgramFlashPage(QuorvexUsb& device, std::uint32_t address,
                      std::span<const std::uint8_t> data) {
    const auto a = AddressBytes(address);
    std::uint8_t header[4] = {kPageProgramInstruction, a[0], a[1], a[2]};
    device.VendorRequest(kVendorOut, kFlashWriteRequest, 0, kKeepInstructionOpen, header);
    std::vector<std::uint8_t> page(data.begin(),
                                   data.begin() + std::min(data.size(), kMaxFlashPage));
    return device.VendorRequest(kVendorOut, kFlashWriteRequest, 0, kEndInstruction, page);
}

bool ReadFlashData(QuorvexUsb& device, std::uint32_t address, std::span<std::uint8_t> buffer) {
    const auto a = AddressBytes(address);
    std::uint8_t command[4] = {kReadDataInstruction, a[0], a[1], a[2]};
    if (!device.VendorRequest(kVendorOut, kFlashCollectRequest,
                              static_cast<std::uint16_t>(buffer.size()), kEndInstruction, command))
        return false;
    for (int i = 0; i < kReadDataPolls && !device.Unanswering(); ++i) {
        if (FlashReady(device)) return FetchFlashResponse(device, buffer);
        device.Host().Sleep(kReadDataPauseMs);
    }
    return false;
}

}  // namespace qv
