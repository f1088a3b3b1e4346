#pragma once

#include "chip/FlashRequests.h"
#include "device/QuorvexUsb.h"

namespace qv::cli {

// Holds the chip in ISP mode for one flash command, so each command works on its own: enters
// on construction and leaves on destruction, each as an action of its own (open, request,
// close), unless told to skip both. Declare it before the command opens the device.
class IspSession {
public:
    IspSession(QuorvexUsb& device, bool skip) : device_(device), skip_(skip) {
        Switch(IspMode::Enter);
    }
    ~IspSession() { Switch(IspMode::Leave); }
    IspSession(const IspSession&) = delete;
    IspSession& operator=(const IspSession&) = delete;

private:
    void Switch(IspMode mode) {
        if (skip_) return;
        device_.Open();
        SetIspMode(device_, mode);
        device_.Close();
    }

    QuorvexUsb& device_;
    bool skip_;
};

}  // namespace qv::cli
