#include "chip/EepromMailbox.h"

#include <algorithm>

#include "chip/MailboxRegisters.h"
#include "chip/Registers.h"

namespace qv {

static constexpr int kParameterPolls = 20;

static bool IsReadSelector(std::uint8_t selector) { return (selector & 0x01) != 0; }

static std::uint8_t DataRegister(std::size_t i) {
    return static_cast<std::uint8_t>(kMailboxDataRegister + i);
}

bool EepromMailbox(QuorvexUsb& device, std::uint8_t command, std::uint8_t selector,
                   std::uint8_t offset, std::span<std::uint8_t> data) {
    const auto window = data.first(std::min(data.size(), kMailboxDataSize));
    const bool read = IsReadSelector(selector);
    device.Open();
    bool sent = SelectBank(device, kMailboxBank);
    if (!read) {
        for (std::size_t i = 0; i < window.size(); ++i)
            sent &= WriteRegister(device, DataRegister(i), window[i]);
    }
    sent &= WriteRegister(device, kMailboxSelectorRegister, selector);
    sent &= WriteRegister(device, kMailboxOffsetRegister, offset);
    sent &= WriteRegister(device, kMailboxCommandRegister, command);
    const bool completed = AwaitMailboxAnswer(device, kParameterDone, kParameterPolls);
    if (read) {
        for (std::size_t i = 0; i < window.size(); ++i)
            sent &= ReadRegister(device, DataRegister(i), window[i]);
    } else {
        sent &= WriteRegister(device, kMailboxCommandRegister, 0x00);
    }
    device.Close();
    return sent && completed;
}

}  // namespace qv
