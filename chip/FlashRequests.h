#pragma once

#include <cstdint>
#include <span>

#include "device/QuorvexUsb.h"

namespace qv {

// The chip's requests that reach its SPI flash and switch in-system-programming mode.
inline constexpr std::uint8_t kFlashWriteRequest = 0x80;    // clock bytes out to the flash
inline constexpr std::uint8_t kFlashCollectRequest = 0x81;  // clock out, collect a response
inline constexpr std::uint8_t kFlashFetchRequest = 0x82;    // fetch the collected response
inline constexpr std::uint8_t kFlashReadyRequest = 0x83;    // is the response ready?
inline constexpr std::uint8_t kEnterIspRequest = 0x84;
inline constexpr std::uint8_t kExitIspRequest = 0x85;

// Index of a 0x80 request: 1 ends the instruction, 0 keeps it open for the next 0x80.
inline constexpr std::uint16_t kEndInstruction = 1;
inline constexpr std::uint16_t kKeepInstructionOpen = 0;

// Instruction byte followed by 0 to 3 argument bytes, ending the instruction.
Reply SendFlashInstruction(QuorvexUsb& device, std::uint8_t instruction,
                           std::span<const std::uint8_t> arguments = {});
// Clocks out the instruction byte and has the chip collect responseCount (1 to 255) bytes.
Reply StartFlashRead(QuorvexUsb& device, std::uint8_t instruction, std::uint8_t responseCount);
// The ready byte: true only when the request went through whole and the byte is non-zero.
ReplyWith<bool> FlashReady(QuorvexUsb& device);
// Polls the ready byte, at most polls times, pausing pauseMs after each "not ready" but the
// first quickPolls: Done at the first ready answer; NotReady when the budget ran out; Gone or
// NoAnswer as soon as the device is gone or has stopped answering.
Reply AwaitFlashReady(QuorvexUsb& device, int polls, std::uint32_t pauseMs = 0,
                      int quickPolls = 0);
// Short when the answer brought fewer bytes than asked.
Reply FetchFlashResponse(QuorvexUsb& device, std::span<std::uint8_t> response);

enum class IspMode { Enter, Leave };
// The access-coded switch request, then the ISP bank's registers whatever the request returned
// (none once the chip is gone or silent). Done only when the switch and every register write
// went through.
Reply SetIspMode(QuorvexUsb& device, IspMode mode);

}  // namespace qv
