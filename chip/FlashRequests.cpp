#include "chip/FlashRequests.h"

#include <array>
#include <vector>

#include "chip/Registers.h"

namespace qv {

bool SendFlashInstruction(QuorvexUsb& device, std::uint8_t instruction,
                          std::span<const std::uint8_t> arguments) {
    std::vector<std::uint8_t> data{instruction};
    data.insert(data.end(), arguments.begin(), arguments.end());
    return device.VendorRequest(kVendorOut, kFlashWriteRequest, 0, kEndInstruction, data);
}

bool StartFlashRead(QuorvexUsb& device, std::uint8_t instruction, std::uint8_t responseCount) {
    return device.VendorRequest(kVendorOut, kFlashCollectRequest, responseCount, kEndInstruction,
                                std::span(&instruction, 1));
}

bool FlashReady(QuorvexUsb& device) {
    std::uint8_t ready = 0;
    return device.VendorRequest(kVendorIn, kFlashReadyRequest, 0, 0, std::span(&ready, 1)) &&
           device.LastBytesReturned() == 1 && ready != 0;
}

// A short answer leaves part of the buffer as it was: it is a failed read, never data.
bool FetchFlashResponse(QuorvexUsb& device, std::span<std::uint8_t> response) {
    return device.VendorRequest(kVendorIn, kFlashFetchRequest, 0, 0, response) &&
           device.LastBytesReturned() == response.size();
}

bool SetIspMode(QuorvexUsb& device, IspMode mode) {
    const bool entering = mode == IspMode::Enter;
    const bool switched =
        entering ? device.VendorRequest(kVendorOut, kEnterIspRequest, 0x4B6E, 0x1F09, {})
                 : device.VendorRequest(kVendorOut, kExitIspRequest, 0x2D7C, 0x3E92, {});
    SelectBank(device, kIspBank);
    if (entering) {
        WriteRegister(device, 0x07, 0x10);
        WriteRegister(device, 0x01, 0x03);
    } else {
        WriteRegister(device, 0x07, 0x00);
    }
    return switched;
}

}  // namespace qv
