#include "fuzz/DeviceOperations.h"

#include <array>
#include <string>

#include "fuzz/ChipOperations.h"
#include "fuzz/Require.h"

namespace qv::fuzz {

namespace {

void ChooseCarrier(FuzzedHost& host, QuorvexUsb& device) {
    device.SetKsMode(host.Input().ConsumeBool());
}

// The firmware-update device's text, the user's device's, an empty one, or any text.
void ChooseMatchText(FuzzedHost& host, QuorvexUsb& device) {
    constexpr std::array<const char*, 3> kTexts{QuorvexUsb::kInitialMatchText, "vid_6b94&pid_f82d",
                                                ""};
    const auto choice = host.Input().ConsumeIntegralInRange<std::size_t>(0, kTexts.size());
    device.SetMatchText(choice < kTexts.size() ? std::string(kTexts[choice])
                                               : host.Input().ConsumeRandomLengthString(24));
}

bool AtMatchingPath(const QuorvexUsb& device) {
    return device.GetDevicePath().find(device.GetMatchText()) != std::string::npos;
}

void FindDevice(FuzzedHost&, QuorvexUsb& device) {
    const bool wasOpen = device.IsOpen();
    const bool probed = device.FindDevice();
    Require(device.IsOpen() == wasOpen, "discovery leaves the device's own handle alone");
    Require(!probed || !device.GetMatchText().empty(), "an empty match text matches nothing");
    Require(!probed || (device.IsPresent() && AtMatchingPath(device)),
            "a device that answered the probe is present at a matching path");
}

void CheckPresent(FuzzedHost&, QuorvexUsb& device) {
    const bool present = device.CheckPresent();
    Require(present == device.IsPresent(), "the presence check sets what it returns");
    Require(!present || !device.GetMatchText().empty(), "an empty match text matches nothing");
}

void Open(FuzzedHost&, QuorvexUsb& device) {
    Require((device.Open() == Reply::Done) == device.IsOpen(),
            "opening reports whether the device is open");
}

void Close(FuzzedHost&, QuorvexUsb& device) {
    device.Close();
    Require(!device.IsOpen(), "a closed device is not open");
}

constexpr std::array kStartOperations{
    DeviceOperation{"choose carrier", ChooseCarrier},
    DeviceOperation{"choose match text", ChooseMatchText},
    DeviceOperation{"FindDevice", FindDevice},
    DeviceOperation{"Open", Open},
};

constexpr std::array kAnyOperations{
    DeviceOperation{"choose carrier", ChooseCarrier},
    DeviceOperation{"choose match text", ChooseMatchText},
    DeviceOperation{"FindDevice", FindDevice},
    DeviceOperation{"CheckPresent", CheckPresent},
    DeviceOperation{"Open", Open},
    DeviceOperation{"Close", Close},
    DeviceOperation{"ReadChipId", ReadChipIdOperation},
    DeviceOperation{"ReadFlashStatus", ReadFlashStatusOperation},
    DeviceOperation{"ReadFlashData", ReadFlashDataOperation},
    DeviceOperation{"I2CSetup", I2CSetupOperation},
    DeviceOperation{"I2CWriteRegisters", I2CWriteRegistersOperation},
    DeviceOperation{"I2CReadRegisters", I2CReadRegistersOperation},
    DeviceOperation{"I2CWriteCommand", I2CWriteCommandOperation},
    DeviceOperation{"I2CReadCommand", I2CReadCommandOperation},
    DeviceOperation{"EepromMailbox", EepromMailboxOperation},
    DeviceOperation{"ReadDeviceStatus", ReadDeviceStatusOperation},
    DeviceOperation{"SendHidKey", SendHidKeyOperation},
    DeviceOperation{"BlankCheck", BlankCheckOperation},
    DeviceOperation{"Verify", VerifyOperation},
};

}  // namespace

std::span<const DeviceOperation> StartOperations() { return kStartOperations; }

std::span<const DeviceOperation> AnyOperations() { return kAnyOperations; }

}  // namespace qv::fuzz
