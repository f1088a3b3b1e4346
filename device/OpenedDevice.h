#pragma once

#include "device/QuorvexUsb.h"

namespace qv {

// Holds the device open for one action: opened at its start, closed at its end, as every
// action that talks to the chip does.
class OpenedDevice {
public:
    explicit OpenedDevice(QuorvexUsb& device) : device_(device) { device_.Open(); }
    ~OpenedDevice() { device_.Close(); }
    OpenedDevice(const OpenedDevice&) = delete;
    OpenedDevice& operator=(const OpenedDevice&) = delete;

private:
    QuorvexUsb& device_;
};

}  // namespace qv
