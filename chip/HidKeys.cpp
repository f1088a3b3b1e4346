#include "chip/HidKeys.h"

#include "chip/MailboxRegisters.h"
#include "chip/Registers.h"

namespace qv {

static constexpr std::uint8_t kHidKeyCommand = 0x30;
static constexpr std::uint8_t kHidKeyTaken = 0x31;
static constexpr int kHidKeyPolls = 10;

bool SendHidKey(QuorvexUsb& device, std::uint8_t keyCode) {
    device.Open();
    SelectBank(device, kMailboxBank);
    WriteRegister(device, kMailboxSelectorRegister, keyCode);
    WriteRegister(device, kMailboxCommandRegister, kHidKeyCommand);
    const bool taken = AwaitMailboxAnswer(device, kHidKeyTaken, kHidKeyPolls);
    device.Close();
    return taken;
}

}  // namespace qv
