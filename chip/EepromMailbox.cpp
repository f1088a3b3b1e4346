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

// The requests of one mailbox exchange, stopping at the first that does not go through.
static Reply Exchange(QuorvexUsb& device, std::uint8_t command, std::uint8_t selector,
                      std::uint8_t offset, std::span<std::uint8_t> window) {
    const bool read = IsReadSelector(selector);
    if (const Reply selected = SelectBank(device, kMailboxBank); selected != Reply::Done)
        return selected;
    if (!read) {
        for (std::size_t i = 0; i < window.size(); ++i)
            if (const Reply written = WriteRegister(device, DataRegister(i), window[i]);
                written != Reply::Done)
                return written;
    }
    if (const Reply sent = WriteRegisters(device, {{kMailboxSelectorRegister, selector},
                                                   {kMailboxOffsetRegister, offset},
                                                   {kMailboxCommandRegister, command}});
        sent != Reply::Done)
        return sent;
    // Without the completion code the exchange goes on as the window always has (the window
    // is collected, the command register cleared), but it has failed: NotReady.
    const Reply completed = AwaitMailboxAnswer(device, kParameterDone, kParameterPolls);
    if (completed != Reply::Done && completed != Reply::NotReady) return completed;
    if (read) {
        for (std::size_t i = 0; i < window.size(); ++i)
            if (const Reply collected = ReadRegister(device, DataRegister(i), window[i]);
                collected != Reply::Done)
                return collected;
        return completed;
    }
    return FirstFailure(WriteRegister(device, kMailboxCommandRegister, 0x00), completed);
}

Reply EepromMailbox(QuorvexUsb& device, std::uint8_t command, std::uint8_t selector,
                    std::uint8_t offset, std::span<std::uint8_t> data) {
    if (const Reply opened = device.Open(); opened != Reply::Done) return opened;
    const Reply reply =
        Exchange(device, command, selector, offset, data.first(std::min(data.size(), kMailboxDataSize)));
    device.Close();
    return reply;
}

}  // namespace qv
