#include "chip/FlashRequests.h"

#include <array>
#include <vector>

#include "chip/Registers.h"

namespace qv {

Reply SendFlashInstruction(QuorvexUsb& device, std::uint8_t instruction,
                           std::span<const std::uint8_t> arguments) {
    std::vector<std::uint8_t> data{instruction};
    data.insert(data.end(), arguments.begin(), arguments.end());
    return device.VendorRequest(kVendorOut, kFlashWriteRequest, 0, kEndInstruction, data);
}

Reply StartFlashRead(QuorvexUsb& device, std::uint8_t instruction, std::uint8_t responseCount) {
    return device.VendorRequest(kVendorOut, kFlashCollectRequest, responseCount, kEndInstruction,
                          std::span(&instruction, 1));
}

ReplyWith<bool> FlashReady(QuorvexUsb& device) {
    std::uint8_t ready = 0;
    const Reply reply = device.VendorRequest(kVendorIn, kFlashReadyRequest, 0, 0, std::span(&ready, 1));
    return {reply, reply == Reply::Done && ready != 0};
}

Reply AwaitFlashReady(QuorvexUsb& device, int polls, std::uint32_t pauseMs, int quickPolls) {
    for (int i = 0; i < polls; ++i) {
        // A poll that did not go through counts as "not ready" until the device is gone or
        // silent.
        if (FlashReady(device).value) return Reply::Done;
        if (device.Gone()) return Reply::Gone;
        if (device.Unanswering()) return Reply::NoAnswer;
        if (pauseMs > 0 && i >= quickPolls) device.Host().Sleep(pauseMs);
    }
    return Reply::NotReady;
}

// A short answer leaves part of the buffer as it was: it is a failed read, never data.
Reply FetchFlashResponse(QuorvexUsb& device, std::span<std::uint8_t> response) {
    return device.VendorRequest(kVendorIn, kFlashFetchRequest, 0, 0, response);
}

Reply SetIspMode(QuorvexUsb& device, IspMode mode) {
    const bool entering = mode == IspMode::Enter;
    Reply reply = entering ? device.VendorRequest(kVendorOut, kEnterIspRequest, 0x4B6E, 0x1F09, {})
                           : device.VendorRequest(kVendorOut, kExitIspRequest, 0x2D7C, 0x3E92, {});
    // The registers are written whatever the switch request returned, unless the chip is gone
    // or silent; the first failure counts.
    const auto write = [&](std::uint8_t address, std::uint8_t value) {
        if (device.Unreachable()) return;
        reply = FirstFailure(reply, WriteRegister(device, address, value));
    };
    write(kBankSelectRegister, kIspBank);
    if (entering) {
        write(0x07, 0x10);
        write(0x01, 0x03);
    } else {
        write(0x07, 0x00);
    }
    return reply;
}

}  // namespace qv
