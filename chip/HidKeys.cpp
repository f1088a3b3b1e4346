#include "chip/HidKeys.h"

#include "chip/MailboxRegisters.h"
#include "chip/Registers.h"

namespace qv {

static constexpr std::uint8_t kHidKeyCommand = 0x30;
static constexpr std::uint8_t kHidKeyTaken = 0x31;
static constexpr int kHidKeyPolls = 10;

Reply SendHidKey(QuorvexUsb& device, std::uint8_t keyCode) {
    if (const Reply opened = device.Open(); opened != Reply::Done) return opened;
    Reply reply = WriteRegisters(device, {{kBankSelectRegister, kMailboxBank},
                                          {kMailboxSelectorRegister, keyCode},
                                          {kMailboxCommandRegister, kHidKeyCommand}});
    if (reply == Reply::Done) reply = AwaitMailboxAnswer(device, kHidKeyTaken, kHidKeyPolls);
    device.Close();
    return reply;
}

}  // namespace qv
