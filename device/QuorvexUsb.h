#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "device/Reply.h"
#include "device/host/DeviceHost.h"

namespace qv {

// The device object: owns the one device handle, finds the chip among the present device
// interfaces and carries every vendor request to the driver as one I/O control, on the
// vendor driver's carrier (KsMode false) or the audio driver's carrier (KsMode true).
class QuorvexUsb {
public:
    static constexpr const char* kInitialMatchText = "vid_4d17&pid_6000";

    explicit QuorvexUsb(DeviceHost& host);
    virtual ~QuorvexUsb();
    QuorvexUsb(const QuorvexUsb&) = delete;
    QuorvexUsb& operator=(const QuorvexUsb&) = delete;

    // Full discovery: stores the last matching path, marks the device present and returns
    // that interface's probe result.
    virtual bool FindDevice();
    // Presence only: any matching interface keeps the device present.
    virtual bool CheckPresent();
    // Takes an interface a search has already found (when several devices are driven at once,
    // each by its own object), marks the device present there and probes it, without listing
    // the interfaces again.
    bool UseFoundInterface(const std::string& path);
    virtual bool IsPresent() const;

    void ClearPresent();
    void SetKsMode(bool ksMode);
    bool GetKsMode() const;
    void SetMatchText(const std::string& text);
    const std::string& GetMatchText() const;
    const std::string& GetDevicePath() const;

    // Opens the device path found last: Done, or Gone when it cannot be opened.
    Reply Open();
    void Close();
    bool IsOpen() const;

    // One control transfer on endpoint 0; bit 7 of requestType gives the direction. The buffer
    // is sent for a host-to-device request and receives the device's bytes otherwise. What
    // became of it, never a bare true: a read that brought fewer bytes than the buffer holds is
    // Short, on either carrier, and a failure says whether the device was gone, silent or
    // refused. Every chip operation sends its requests here.
    Reply VendorRequest(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                        std::uint16_t index, std::span<std::uint8_t> data);
    // What became of the last request, as Request reports it.
    Reply LastReply() const { return lastReply_; }

    // The byte count the driver reported for the last request (a read may come back short).
    std::uint32_t LastBytesReturned() const { return lastBytesReturned_; }
    // True once three requests in a row got no answer at all within the host's timeout: the
    // chip has gone silent, and the jobs stop waiting for it. The count belongs to the board,
    // not the handle: opening the device again keeps it; an answer, or a search that finds
    // the device (a board plugged in again), starts it over.
    bool Unanswering() const { return unanswered_ >= kSilentAfterTimeouts; }
    // True once the device could not be opened or a request found it gone: nothing more can
    // reach it until it is opened again.
    bool Gone() const { return gone_; }
    // Gone or gone silent: no poll loop or walk waits for it any longer.
    bool Unreachable() const { return Gone() || Unanswering(); }

    // Opens DevicePath on a handle of its own and asks the driver a harmless question:
    // the device descriptor (vendor driver) or support of the property set (audio driver).
    bool ProbeDevice();

    DeviceHost& Host() const { return host_; }

private:
    bool SendPropertyRequest(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                             std::uint16_t index, std::span<std::uint8_t> data);
    bool SendSetupRequest(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                          std::uint16_t index, std::span<std::uint8_t> data);
    template <typename MatchAction>
    bool Enumerate(MatchAction onMatch);

    DeviceHost& host_;
    bool Present = false;
    bool KsMode = false;
    std::string DevicePath;
    std::string MatchText = kInitialMatchText;
    HostHandle Handle = kNoHandle;
    static constexpr int kSilentAfterTimeouts = 3;
    std::uint32_t lastBytesReturned_ = 0;
    Reply lastReply_ = Reply::Done;
    int unanswered_ = 0;
    bool gone_ = false;
};

}  // namespace qv
