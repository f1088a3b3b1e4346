#pragma once

#include <memory>

#include "device/host/DeviceHost.h"

namespace qv {

// The host that reaches real hardware on this platform: the chip's own drivers on Windows,
// libusb elsewhere. The build picks the one file that defines it.
std::unique_ptr<DeviceHost> MakeSystemHost();
// Its name in a trace's "# host:" line.
const char* SystemHostKind();

}  // namespace qv
