#include "device/host/SystemHost.h"
#include "device/host/UsbDeviceHost.h"

namespace qv {

std::unique_ptr<DeviceHost> MakeSystemHost() { return std::make_unique<UsbDeviceHost>(); }
const char* SystemHostKind() { return "usb"; }

}  // namespace qv
