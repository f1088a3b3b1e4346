#include "device/host/SystemHost.h"
#include "device/host/WinDeviceHost.h"

namespace qv {

std::unique_ptr<DeviceHost> MakeSystemHost() { return std::make_unique<WinDeviceHost>(); }
const char* SystemHostKind() { return "windows"; }

}  // namespace qv
