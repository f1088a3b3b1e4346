#include "chip/ParameterRequests.h"

#include <algorithm>
#include <span>

#include "chip/EepromMailbox.h"
#include "chip/MailboxRegisters.h"

namespace qv {

static constexpr std::uint32_t kChunkPauseMs = 50;

bool ReadOptionBlock(QuorvexUsb& device, OptionBlock& block) {
    return EepromMailbox(device, kParameterCommand, kOptionsReadSelector, 0, block.bytes);
}

bool WriteOptionBlock(QuorvexUsb& device, const OptionBlock& block) {
    auto bytes = block.bytes;
    return EepromMailbox(device, kParameterCommand, kOptionsWriteSelector, 0, bytes);
}

bool WriteIdentity(QuorvexUsb& device, IdentitySelector selector, std::string_view typed) {
    auto bytes = IdentityBytes(typed);
    return EepromMailbox(device, kParameterCommand, static_cast<std::uint8_t>(selector), 0, bytes);
}

bool WriteString(QuorvexUsb& device, StringSelector selector, std::string_view typed) {
    auto image = StringImage(typed);
    bool allCompleted = true;
    for (std::size_t start = 0, chunk = 0; start < image.size();
         start += kMailboxDataSize, ++chunk) {
        const std::size_t size = std::min(kMailboxDataSize, image.size() - start);
        allCompleted &=
            EepromMailbox(device, kParameterCommand, static_cast<std::uint8_t>(selector),
                          static_cast<std::uint8_t>(chunk), std::span(image).subspan(start, size));
        device.Host().Sleep(kChunkPauseMs);
    }
    return allCompleted;
}

}  // namespace qv
