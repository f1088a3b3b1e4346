#include "chip/PlaybackStatus.h"

#include "chip/Registers.h"

namespace qv {

static constexpr std::uint8_t kRateCodeRegister = 0xA4;
static constexpr std::uint8_t kSecondStatusRegister = 0xA5;
static constexpr std::uint8_t kFlagsRegister = 0xA6;

static constexpr std::uint8_t kConnectedFlag = 0x01;
static constexpr std::uint8_t kDsdFlag = 0x02;
static constexpr std::uint8_t kMutedFlag = 0x04;
static constexpr std::size_t kDsdRateLabels = 16;

bool ReadDeviceStatus(QuorvexUsb& device, DeviceStatus& status) {
    device.Open();
    SelectBank(device, kMailboxBank);
    const bool rateRead = ReadRegister(device, kRateCodeRegister, status.rateCode);
    const bool secondRead = ReadRegister(device, kSecondStatusRegister, status.secondByte);
    const bool flagsRead = ReadRegister(device, kFlagsRegister, status.flags);
    device.Close();
    return rateRead && secondRead && flagsRead;
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
