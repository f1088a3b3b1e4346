#pragma once

#include "chip/FlashRequests.h"
#include "device/QuorvexUsb.h"

namespace qv::cli {

// Holds the chip in ISP mode for one flash command, so each command works on its own: Enter
// and Leave are each an action of their own (open, request, close), unless told to skip both.
// A command that ends early (its step failed and threw) still leaves ISP mode on destruction;
// its own failure is the one reported then.
class IspSession {
public:
    IspSession(QuorvexUsb& device, bool skip) : device_(device), skip_(skip) {}
    // The command has failed already; its own failure is the one reported, so the leave's reply
    // is not looked at.
    ~IspSession() {
        if (entered_ && !left_) static_cast<void>(Switch(IspMode::Leave));
    }
    IspSession(const IspSession&) = delete;
    IspSession& operator=(const IspSession&) = delete;

    // Done when the chip took the switch and its register writes (or when skipped).
    Reply Enter() {
        entered_ = true;
        return Switch(IspMode::Enter);
    }
    // So a command whose work succeeded does not report success with the chip still held in
    // ISP mode.
    Reply Leave() {
        left_ = true;
        return Switch(IspMode::Leave);
    }

private:
    Reply Switch(IspMode mode) {
        if (skip_) return Reply::Done;
        // A chip gone silent is left alone: the count of its unanswered requests outlives the
        // handle.
        if (device_.Unanswering()) return Reply::NoAnswer;
        if (device_.Open() != Reply::Done) return Reply::Gone;
        const Reply switched = SetIspMode(device_, mode);
        device_.Close();
        return switched;
    }

    QuorvexUsb& device_;
    bool skip_;
    bool entered_ = false;
    bool left_ = false;
};

}  // namespace qv::cli
