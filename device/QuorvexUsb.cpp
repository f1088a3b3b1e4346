#include "device/QuorvexUsb.h"

#include "device/Guid.h"
#include "device/Records.h"

namespace qv {

QuorvexUsb::QuorvexUsb(DeviceHost& host) : host_(host) {}

QuorvexUsb::~QuorvexUsb() { Close(); }

bool QuorvexUsb::IsPresent() const { return Present; }
void QuorvexUsb::ClearPresent() { Present = false; }
void QuorvexUsb::SetKsMode(bool ksMode) { KsMode = ksMode; }
bool QuorvexUsb::GetKsMode() const { return KsMode; }
void QuorvexUsb::SetMatchText(const std::string& text) { MatchText = text; }
const std::string& QuorvexUsb::GetMatchText() const { return MatchText; }
const std::string& QuorvexUsb::GetDevicePath() const { return DevicePath; }
bool QuorvexUsb::IsOpen() const { return Handle != kNoHandle; }

Reply QuorvexUsb::Open() {
    Close();
    Handle = host_.OpenPath(DevicePath);
    gone_ = Handle == kNoHandle;
    return gone_ ? Reply::Gone : Reply::Done;
}

void QuorvexUsb::Close() {
    if (Handle == kNoHandle) return;
    host_.ClosePath(Handle);
    Handle = kNoHandle;
}

Reply QuorvexUsb::VendorRequest(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                          std::uint16_t index, std::span<std::uint8_t> data) {
    lastBytesReturned_ = 0;
    if (Handle == kNoHandle) {
        lastReply_ = Reply::Gone;
        gone_ = true;
        return lastReply_;
    }
    const bool ok = KsMode ? SendPropertyRequest(requestType, request, value, index, data)
                           : SendSetupRequest(requestType, request, value, index, data);
    lastReply_ = Reply::Done;
    if (!ok) {
        switch (host_.LastIoControlFailure()) {
            case DeviceHost::IoFailure::Gone:
                lastReply_ = Reply::Gone;
                gone_ = true;
                break;
            case DeviceHost::IoFailure::NoAnswer:
                lastReply_ = Reply::NoAnswer;
                break;
            case DeviceHost::IoFailure::Refused:
                lastReply_ = Reply::Refused;
                break;
        }
    } else if (IsDeviceToHost(requestType) && lastBytesReturned_ < data.size()) {
        // Both drivers say how many bytes they put into the buffer: the vendor driver the
        // transfer's length, the audio driver the property value's size it wrote (a kernel-
        // streaming handler reports what it filled). Fewer than asked is a partial answer, on
        // either carrier; the rest of the buffer holds nothing the chip sent.
        lastReply_ = Reply::Short;
    }
    unanswered_ = lastReply_ == Reply::NoAnswer ? unanswered_ + 1 : 0;
    return lastReply_;
}

bool QuorvexUsb::SendPropertyRequest(std::uint8_t requestType, std::uint8_t request,
                                     std::uint16_t value, std::uint16_t index,
                                     std::span<std::uint8_t> data) {
    // The caller's buffer is copied into the record in both directions; a read returns its
    // data directly in the caller's buffer.
    const auto record = BuildPropertyRecord(requestType, request, value, index, data);
    return host_.IoControl(Handle, kKsPropertyCode, record, data, lastBytesReturned_);
}

bool QuorvexUsb::SendSetupRequest(std::uint8_t requestType, std::uint8_t request,
                                  std::uint16_t value, std::uint16_t index,
                                  std::span<std::uint8_t> data) {
    const auto record = BuildSetupRecord(requestType, request, value, index);
    const std::uint32_t code = IsDeviceToHost(requestType) ? kDeviceToHostCode : kHostToDeviceCode;
    return host_.IoControl(Handle, code, record, data, lastBytesReturned_);
}

bool QuorvexUsb::ProbeDevice() {
    const HostHandle probeHandle = host_.OpenPath(DevicePath);
    if (probeHandle == kNoHandle) return false;
    std::uint32_t returned = 0;
    bool answered = false;
    if (KsMode) {
        const auto query = BuildSupportQuery();
        answered = host_.IoControl(probeHandle, kKsPropertyCode, query, {}, returned);
    } else {
        constexpr std::uint8_t kGetDescriptor = 6;
        constexpr std::uint16_t kDeviceDescriptor = 0x0100;
        constexpr std::uint16_t kDescriptorLength = 18;
        const auto record =
            BuildSetupRecord(0x80, kGetDescriptor, kDeviceDescriptor, 1, kDescriptorLength);
        std::uint8_t descriptor[kDescriptorLength] = {};
        answered = host_.IoControl(probeHandle, kDeviceToHostCode, record, descriptor, returned);
    }
    // A probe the chip left unanswered counts toward its silence like any request.
    if (!answered && host_.LastIoControlFailure() == DeviceHost::IoFailure::NoAnswer)
        ++unanswered_;
    host_.ClosePath(probeHandle);
    return answered;
}

template <typename MatchAction>
bool QuorvexUsb::Enumerate(MatchAction onMatch) {
    const auto paths =
        host_.ListInterfaces(KsMode ? kAudioInterfaceClass : kUsbDeviceInterfaceClass);
    if (!paths) return false;
    // An empty match text matches nothing.
    for (const std::string& path : *paths) {
        if (!MatchText.empty() && path.find(MatchText) != std::string::npos) onMatch(path);
    }
    return true;
}

bool QuorvexUsb::FindDevice() {
    bool result = false;
    Enumerate([&](const std::string& path) {
        unanswered_ = 0;
        DevicePath = path;
        Present = true;
        result = ProbeDevice();
    });
    return result;
}

bool QuorvexUsb::UseFoundInterface(const std::string& path) {
    MatchText = path;
    unanswered_ = 0;
    DevicePath = path;
    Present = true;
    return ProbeDevice();
}

bool QuorvexUsb::CheckPresent() {
    bool found = false;
    Enumerate([&](const std::string&) { found = true; });
    Present = found;
    return found;
}

}  // namespace qv
