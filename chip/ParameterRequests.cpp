#include "chip/ParameterRequests.h"

#include <algorithm>
#include <span>

#include "chip/EepromMailbox.h"
#include "chip/MailboxRegisters.h"

namespace qv {

static constexpr std::uint32_t kChunkPauseMs = 50;

Reply ReadOptionBlock(QuorvexUsb& device, OptionBlock& block) {
    auto bytes = block.bytes;
    const Reply reply =
        EepromMailbox(device, kParameterCommand, kOptionsReadSelector, 0, bytes);
    if (reply == Reply::Done) block.bytes = bytes;
    return reply;
}

Reply WriteOptionBlock(QuorvexUsb& device, const OptionBlock& block) {
    auto bytes = block.bytes;
    return EepromMailbox(device, kParameterCommand, kOptionsWriteSelector, 0, bytes);
}

Reply WriteIdentity(QuorvexUsb& device, IdentitySelector selector, std::string_view typed) {
    auto bytes = IdentityBytes(typed);
    return EepromMailbox(device, kParameterCommand, static_cast<std::uint8_t>(selector), 0, bytes);
}

Reply WriteString(QuorvexUsb& device, StringSelector selector, std::string_view typed) {
    auto image = StringImage(typed);
    Reply first = Reply::Done;
    for (std::size_t start = 0, chunk = 0; start < image.size() && !device.Unreachable();
         start += kMailboxDataSize, ++chunk) {
        const std::size_t size = std::min(kMailboxDataSize, image.size() - start);
        first = FirstFailure(
            first, EepromMailbox(device, kParameterCommand, static_cast<std::uint8_t>(selector),
                                 static_cast<std::uint8_t>(chunk),
                                 std::span(image).subspan(start, size)));
        device.Host().Sleep(kChunkPauseMs);
    }
    return first;
}

}  // namespace qv
