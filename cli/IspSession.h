#pragma once

#include "chip/FlashRequests.h"
#include "device/QuorvexUsb.h"

namespace qv::cli {

inline constexpr const char* kExitIspFailText = "Exit ISP Fail";

// Holds the chip in ISP mode for one flash command, so each command works on its own: enters
// on construction and leaves at Leave(), each as an action of its own (open, request, close),
// unless told to skip both. Declare it before the command opens the device. A command that
// ends early (its step failed and threw) still leaves ISP mode on destruction; its own failure
// is the one reported then.
class IspSession {
public:
    IspSession(QuorvexUsb& device, bool skip) : device_(device), skip_(skip) {
        Switch(IspMode::Enter);
    }
    ~IspSession() {
        if (!left_) Switch(IspMode::Leave);
    }
    IspSession(const IspSession&) = delete;
    IspSession& operator=(const IspSession&) = delete;

    // Leaves ISP mode; false when the chip did not take the request, so a command whose work
    // succeeded does not report success with the chip still held in ISP mode.
    bool Leave() {
        left_ = true;
        return Switch(IspMode::Leave);
    }

private:
    bool Switch(IspMode mode) {
        if (skip_) return true;
        device_.Open();
        const bool switched = SetIspMode(device_, mode);
        device_.Close();
        return switched;
    }

    QuorvexUsb& device_;
    bool skip_;
    bool left_ = false;
};

}  // namespace qv::cli
