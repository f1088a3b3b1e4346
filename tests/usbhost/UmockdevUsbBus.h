#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/host/DriverCall.h"
#include "sim/SimChip.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace qv::test {

// One control transfer as a simulated chip received it through the emulated usbfs.
struct WireTransfer {
    ControlSetup setup;
    bool ok = false;
    std::vector<std::uint8_t> data;  // what the host sent (OUT) or the chip answered (IN)
};

// A USB bus built in a umockdev testbed: each plugged device gets sysfs attributes, a udev
// record and a /dev/bus/usb node whose usbfs ioctls are answered here, so that unmodified
// libusb in this process talks to simulated chips. Control URBs go to the chip's Control();
// a refused transfer completes as a stall (-EPIPE), as the kernel reports one.
//
// The process must run with libumockdev-preload; the ioctl handlers run on umockdev's worker
// thread while the calling thread waits inside its ioctl, so a test may look at a chip between
// two requests. Chips must outlive the bus; the libusb host must be gone before the bus.
class UmockdevUsbBus {
public:
    UmockdevUsbBus();
    ~UmockdevUsbBus();
    UmockdevUsbBus(const UmockdevUsbBus&) = delete;
    UmockdevUsbBus& operator=(const UmockdevUsbBus&) = delete;

    // Plugs in a device answered by the chip at a port such as "1-1", or "1-3.2" behind the
    // hub at "1-3". Its descriptors follow the chip's identity: an audio-control interface 0
    // and an audio-streaming interface 1 when it is on the audio class, otherwise one
    // vendor-specific interface. Each plug gets a new device number, as the kernel gives.
    void Plug(sim::SimChip& chip, const std::string& port);
    // A plain hub, so that devices behind it have a port chain.
    void PlugHub(const std::string& port);

    // The device is gone: its usbfs calls fail with ENODEV, and it leaves sysfs and /dev with
    // a remove event.
    void Unplug(const sim::SimChip& chip);
    // Electrically gone but not yet removed: every call on its node fails with ENODEV while
    // it is still listed.
    void Disconnect(const sim::SimChip& chip);
    // URBs are accepted and never completed, until the host discards them.
    void SetUnresponsive(const sim::SimChip& chip, bool unresponsive);

    // The control transfers the chip received, oldest first, over all its plugs.
    std::vector<WireTransfer> Transfers(const sim::SimChip& chip) const;
    void ClearTransfers();

private:
    struct Device;  // one plugged device and its usbfs state

    Device* PluggedDevice(const sim::SimChip& chip) const;
    std::string AddDevice(const std::string& port, std::span<const std::uint8_t> descriptors,
                          std::uint16_t vendorId, std::uint16_t productId, std::string& devnode);
    void Record(const sim::SimChip& chip, WireTransfer transfer);

    UMockdevTestbed* testbed_ = nullptr;
    std::vector<std::unique_ptr<Device>> devices_;
    std::map<int, int> lastDeviceNumber_;  // per bus; the root hub has number 1

    mutable std::mutex logMutex_;
    std::vector<std::pair<const sim::SimChip*, WireTransfer>> log_;
};

}  // namespace qv::test
