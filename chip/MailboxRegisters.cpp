#include "chip/MailboxRegisters.h"

#include "chip/Registers.h"

namespace qv {

static constexpr std::uint32_t kPollIntervalMs = 10;

Reply AwaitMailboxAnswer(QuorvexUsb& device, std::uint8_t answer, int polls) {
    for (int poll = 0; poll < polls; ++poll) {
        device.Host().Sleep(kPollIntervalMs);
        std::uint8_t status = 0;
        if (const Reply read = ReadRegister(device, kMailboxCommandRegister, status);
            read != Reply::Done)
            return read;
        if (status == answer) return Reply::Done;
    }
    return Reply::NotReady;
}

}  // namespace qv
