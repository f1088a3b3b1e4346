#pragma once

#include "device/QuorvexUsb.h"

namespace qv {

// Holds the device open for one action: opened at its start, closed at its end, as every
// action that talks to the chip does.
class OpenedDevice {
public:
    explicit OpenedDevice(QuorvexUsb& device) : device_(device), opened_(device_.Open()) {}
    ~OpenedDevice() { device_.Close(); }
    OpenedDevice(const OpenedDevice&) = delete;
    OpenedDevice& operator=(const OpenedDevice&) = delete;

    // Done, or Gone when the device could not be opened (its requests then find it gone).
    Reply Opened() const { return opened_; }

private:
    QuorvexUsb& device_;
    Reply opened_;
};

}  // namespace qv
