#include "chip/PlaybackStatus.h"

#include "chip/Registers.h"

#include <utility>

namespace qv {

static constexpr std::uint8_t kRateCodeRegister = 0xA4;
static constexpr std::uint8_t kSecondStatusRegister = 0xA5;
static constexpr std::uint8_t kFlagsRegister = 0xA6;

static constexpr std::uint8_t kConnectedFlag = 0x01;
static constexpr std::uint8_t kDsdFlag = 0x02;
static constexpr std::uint8_t kMutedFlag = 0x04;
static constexpr std::size_t kDsdRateLabels = 16;

static Reply ReadStatusRegisters(QuorvexUsb& device, DeviceStatus& status) {
    if (const Reply selected = SelectBank(device, kMailboxBank); selected != Reply::Done)
        return selected;
    for (const auto& [address, byte] : {std::pair{kRateCodeRegister, &status.rateCode},
                                        std::pair{kSecondStatusRegister, &status.secondByte},
                                        std::pair{kFlagsRegister, &status.flags}})
        if (const Reply read = ReadRegister(device, address, *byte); read != Reply::Done)
            return read;
    return Reply::Done;
}

Reply ReadDeviceStatus(QuorvexUsb& device, DeviceStatus& status) {
    if (const Reply opened = device.Open(); opened != Reply::Done) return opened;
    DeviceStatus read = status;
    const Reply reply = ReadStatusRegisters(device, read);
    device.Close();
    if (reply == Reply::Done) status = read;
    return reply;
}

StatusLabels DescribeStatus(const DeviceStatus& status) {
    StatusLabels labels;
    if ((status.flags & kConnectedFlag) == 0) {
        labels.connection = UsbDisconnectedText;
        return labels;
    }
    labels.connection = UsbConnectedText;
    labels.muteEnabled = true;
    if ((status.flags & kMutedFlag) != 0) {
        labels.mute = MuteText;
        return labels;
    }
    labels.mute = PlayingText;
    labels.streamEnabled = true;
    const bool dsd = (status.flags & kDsdFlag) != 0;
    labels.format = dsd ? DsdText : PcmText;
    labels.rate = RateLabels[(dsd ? kDsdRateLabels : 0) + (status.rateCode & 0x0F)];
    return labels;
}

}  // namespace qv
