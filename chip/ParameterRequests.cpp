#include "chip/ParameterRequests.h"

#include <algorithm>
#include <span>

#include "chip/EepromMailbox.h"
#include "chip/MailboxRegisters.h"

namespace qv {

static constexpr std::uint32_t kChunkPauseMs = 50;

void ReadOptionBlock(QuorvexUsb& device, OptionBlock& block) {
    EepromMailbox(device, kParameterCommand, kOptionsReadSelector, 0, block.bytes);
}

void WriteOptionBlock(QuorvexUsb& device, const OptionBlock& block) {
    auto bytes = block.bytes;
    EepromMailbox(device, kParameterCommand, kOptionsWriteSelector, 0, bytes);
}

void WriteIdentity(QuorvexUsb& device, IdentitySelector selector, std::string_view typed) {
    auto bytes = IdentityBytes(typed);
    EepromMailbox(device, kParameterCommand, static_cast<std::uint8_t>(selector), 0, bytes);
}

void WriteString(QuorvexUsb& device, StringSelector selector, std::string_view typed) {
    auto image = StringImage(typed);
    for (std::size_t start = 0, chunk = 0; start < image.size();
         start += kMailboxDataSize, ++chunk) {
        const std::size_t size = std::min(kMailboxDataSize, image.size() - start);
        EepromMailbox(device, kParameterCommand, static_cast<std::uint8_t>(selector),
                      static_cast<std::uint8_t>(chunk), std::span(image).subspan(start, size));
        device.Host().Sleep(kChunkPauseMs);
    }
}

}  // namespace qv
