#pragma once

#include <map>
#include <mutex>

#include "device/host/DeviceHost.h"
#include "device/host/DriverCall.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace qv {

// Real USB through libusb-1.0, standing in for both kernel drivers: devices are listed as
// Windows-style interface paths (every device on the generic class, each audio-control
// interface on the audio class) and each decoded request becomes one control transfer.
// Vendor- and class-type transfers to the device need no claimed interface, so the
// kernel's audio driver can stay bound.
class UsbDeviceHost : public DeviceHost {
public:
    static constexpr unsigned kTransferTimeoutMs = 1000;

    UsbDeviceHost();
    ~UsbDeviceHost() override;
    UsbDeviceHost(const UsbDeviceHost&) = delete;
    UsbDeviceHost& operator=(const UsbDeviceHost&) = delete;

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    HostHandle OpenPath(const std::string& path) override;
    void ClosePath(HostHandle handle) override;
    bool IoControl(HostHandle handle, std::uint32_t controlCode,
                   std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                   std::uint32_t& bytesReturned) override;
    IoFailure LastIoControlFailure() const override;
    bool LastOpenDenied() const override;
    std::string SerialNumber(const std::string& path) override;
    std::string SystemPath(const std::string& path) override;
    bool OpenDenied(const std::string& path) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMs() override;

private:
    struct OpenDevice {
        libusb_device_handle* handle;
        Carrier carrier;
    };

    std::vector<std::string> PathsOf(libusb_device* device, const Guid& interfaceClass) const;
    // The device of `devices` behind an interface path; nullptr when none is.
    libusb_device* DeviceAt(std::span<libusb_device*> devices, const std::string& path) const;
    bool Transfer(libusb_device_handle* handle, const DriverCall& call,
                  std::span<std::uint8_t> output, std::uint32_t& bytesReturned);

    libusb_context* context_ = nullptr;
    // Guards the handle table; transfers themselves run in parallel (libusb is thread-safe),
    // so several devices can be programmed at once.
    std::mutex mutex_;
    std::map<HostHandle, OpenDevice> handles_;
    HostHandle nextHandle_ = 1;
};

}  // namespace qv
