#pragma once

#include "chip/FlashRequests.h"
#include "device/QuorvexUsb.h"

namespace qv::cli {

// Holds the chip in ISP mode for one flash command, so each command works on its own:
// enters on construction and leaves on destruction, unless told to skip both.
class IspSession {
public:
    IspSession(QuorvexUsb& device, bool skip) : device_(device), skip_(skip) {
        if (!skip_) SetIspMode(device_, IspMode::Enter);
    }
    ~IspSession() {
        if (!skip_) SetIspMode(device_, IspMode::Leave);
    }
    IspSession(const IspSession&) = delete;
    IspSession& operator=(const IspSession&) = delete;

private:
    QuorvexUsb& device_;
    bool skip_;
};

}  // namespace qv::cli
