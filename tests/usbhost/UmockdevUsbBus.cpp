#include "tests/usbhost/UmockdevUsbBus.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <stdexcept>

namespace qv::test {
namespace {

constexpr std::size_t kSetupPacketSize = 8;

// What a usbfs node reports to libusb when it opens the device.
constexpr std::uint32_t kCapabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;

void Append(std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

// The configuration descriptor with its interfaces. A device on the audio class has an
// audio-control interface 0 (with its class-specific header) and an audio-streaming
// interface 1 with a zero-bandwidth setting and one with an isochronous OUT endpoint; any
// other device has one vendor-specific interface.
std::vector<std::uint8_t> ConfigurationFor(const sim::SimIdentity& identity) {
    std::vector<std::uint8_t> config = {9, 2, 0, 0, 0, 1, 0, 0x80, 50};
    std::uint8_t interfaces = 0;
    if (identity.onAudioClass) {
        Append(config, {9, 4, 0, 0, 0, 1, 1, 0, 0});              // audio control
        Append(config, {9, 0x24, 1, 0x00, 0x01, 9, 0, 1, 1});     // AC header, streaming: 1
        Append(config, {9, 4, 1, 0, 0, 1, 2, 0, 0});              // audio streaming, idle
        Append(config, {9, 4, 1, 1, 1, 1, 2, 0, 0});              // audio streaming, active
        Append(config, {9, 5, 0x01, 0x09, 0xC0, 0x00, 1, 0, 0});  // isochronous OUT
        interfaces = 2;
    } else {
        Append(config, {9, 4, 0, 0, 0, 0xFF, 0, 0, 0});
        interfaces = 1;
    }
    config[2] = static_cast<std::uint8_t>(config.size());
    config[3] = static_cast<std::uint8_t>(config.size() >> 8);
    config[4] = interfaces;
    return config;
}

// A high-speed hub with its status-change endpoint.
std::vector<std::uint8_t> HubDescriptors() {
    // clang-format off
    return {18, 1, 0x00, 0x02, 9, 0, 1, 64, 0xE3, 0x05, 0x08, 0x06, 0x00, 0x01, 0, 0, 0, 1,
            9, 2, 25, 0, 1, 1, 0, 0xE0, 50,
            9, 4, 0, 0, 1, 9, 0, 0, 0,
            7, 5, 0x81, 3, 1, 0, 12};
    // clang-format on
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", byte);
        text += two;
    }
    return text;
}

// "1-3.2" -> bus 1 and the sysfs names of the device and its hubs: "1-3", "1-3.2".
struct PortChain {
    int bus = 0;
    std::vector<std::string> names;
};

PortChain ParsePort(const std::string& port) {
    PortChain chain;
    const auto dash = port.find('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 == port.size())
        throw std::invalid_argument("port must look like 1-2 or 1-3.2: " + port);
    chain.bus = std::stoi(port.substr(0, dash));
    for (std::size_t at = dash + 1;; ++at) {
        const auto dot = port.find('.', at);
        chain.names.push_back(port.substr(0, dot));
        if (dot == std::string::npos) break;
        at = dot;
    }
    return chain;
}

struct UrbInFlight {
    UMockdevIoctlData* urb;  // our reference to the client's URB, with its buffer resolved
    unsigned long clientAddress;
};

}  // namespace

struct UmockdevUsbBus::Device {
    UmockdevUsbBus* bus = nullptr;
    sim::SimChip* chip = nullptr;  // none for a hub
    std::string syspath;
    std::string devnode;
    UMockdevIoctlBase* handler = nullptr;
    std::atomic<bool> plugged{true};
    std::atomic<bool> noDevice{false};
    std::atomic<bool> unresponsive{false};

    // Per open file (client), touched only on umockdev's worker thread: completed URBs
    // waiting to be reaped, and URBs the device never answers, waiting to be discarded.
    // Clients are kept referenced so that their addresses stay unique.
    struct ClientUrbs {
        std::deque<UrbInFlight> reapable;
        std::deque<UrbInFlight> hanging;
    };
    std::map<UMockdevIoctlClient*, ClientUrbs> clients;

    ClientUrbs& UrbsOf(UMockdevIoctlClient* client) {
        auto [entry, inserted] = clients.try_emplace(client);
        if (inserted) g_object_ref(client);
        return entry->second;
    }

    void Complete(UMockdevIoctlClient* client, long result, int error) {
        umockdev_ioctl_client_complete(client, result, error);
    }

    void SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void ReapUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void DiscardUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg);

    static gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
};

gboolean UmockdevUsbBus::Device::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client,
                                             gpointer self) {
    auto& device = *static_cast<Device*>(self);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    // A device that left the bus fails every call on a file that is still open.
    if (device.noDevice) {
        device.Complete(client, -1, ENODEV);
        return TRUE;
    }
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
            if (!caps) {
                device.Complete(client, -1, EFAULT);
                return TRUE;
            }
            std::memcpy(caps->data, &kCapabilities, sizeof kCapabilities);
            g_object_unref(caps);
            device.Complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_SUBMITURB:
            device.SubmitUrb(client, arg);
            return TRUE;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            device.ReapUrb(client, arg);
            return TRUE;
        case USBDEVFS_DISCARDURB:
            device.DiscardUrb(client, arg);
            return TRUE;
        default:
            device.Complete(client, -1, ENOTTY);
            return TRUE;
    }
}

void UmockdevUsbBus::Device::SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (!urbData) {
        Complete(client, -1, EFAULT);
        return;
    }
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    // Only control transfers on endpoint 0 exist on this bus, with a whole setup packet whose
    // data stage fits the buffer (the kernel refuses anything else with EINVAL).
    const bool control = urb->type == USBDEVFS_URB_TYPE_CONTROL && (urb->endpoint & 0x7F) == 0;
    if (!control || urb->buffer_length < static_cast<int>(kSetupPacketSize)) {
        g_object_unref(urbData);
        Complete(client, -1, EINVAL);
        return;
    }
    UMockdevIoctlData* bufferData = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
    if (!bufferData) {
        g_object_unref(urbData);
        Complete(client, -1, EFAULT);
        return;
    }
    std::uint8_t* buffer = bufferData->data;
    ControlSetup setup;
    setup.requestType = buffer[0];
    setup.request = buffer[1];
    setup.value = static_cast<std::uint16_t>(buffer[2] | buffer[3] << 8);
    setup.index = static_cast<std::uint16_t>(buffer[4] | buffer[5] << 8);
    setup.length = static_cast<std::uint16_t>(buffer[6] | buffer[7] << 8);
    if (setup.length > static_cast<std::uint32_t>(urb->buffer_length) - kSetupPacketSize) {
        g_object_unref(bufferData);
        g_object_unref(urbData);
        Complete(client, -1, EINVAL);
        return;
    }
    std::uint8_t* dataStage = buffer + kSetupPacketSize;
    ClientUrbs& urbs = UrbsOf(client);
    // The completion is written into the URB now; libusb reads it only once it reaped it.
    if (unresponsive) {
        urb->status = -ENOENT;  // what a discarded URB reports
        urb->actual_length = 0;
        urbs.hanging.push_back({urbData, urbData->client_addr});
    } else {
        std::vector<std::uint8_t> outData;
        if (!setup.IsDeviceToHost()) outData.assign(dataStage, dataStage + setup.length);
        const sim::TransferResult result = chip->Control(setup, outData);
        std::size_t count = 0;
        if (result.ok && setup.IsDeviceToHost()) {
            count = std::min<std::size_t>(result.data.size(), setup.length);
            std::copy_n(result.data.begin(), count, dataStage);
        } else if (result.ok) {
            count = setup.length;
        }
        urb->status = result.ok ? 0 : -EPIPE;
        urb->actual_length = static_cast<int>(count);
        bus->Record(*chip, {setup, result.ok, setup.IsDeviceToHost() ? result.data : outData});
        urbs.reapable.push_back({urbData, urbData->client_addr});
    }
    g_object_unref(bufferData);
    Complete(client, 0, 0);
}

void UmockdevUsbBus::Device::ReapUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    ClientUrbs& urbs = UrbsOf(client);
    if (urbs.reapable.empty()) {
        Complete(client, -1, EAGAIN);
        return;
    }
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    if (!pointer) {
        Complete(client, -1, EFAULT);
        return;
    }
    const UrbInFlight done = urbs.reapable.front();
    urbs.reapable.pop_front();
    // The client's pointer now points at its own URB, as the kernel hands it back.
    umockdev_ioctl_data_set_ptr(pointer, 0, done.urb);
    g_object_unref(done.urb);
    g_object_unref(pointer);
    Complete(client, 0, 0);
}

void UmockdevUsbBus::Device::DiscardUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    ClientUrbs& urbs = UrbsOf(client);
    unsigned long address = 0;
    std::memcpy(&address, arg->data, sizeof address);
    const auto found =
        std::find_if(urbs.hanging.begin(), urbs.hanging.end(),
                     [&](const UrbInFlight& urb) { return urb.clientAddress == address; });
    if (found == urbs.hanging.end()) {
        Complete(client, -1, EINVAL);
        return;
    }
    // A discarded URB is still reaped, with the status set at submission.
    urbs.reapable.push_back(*found);
    urbs.hanging.erase(found);
    Complete(client, 0, 0);
}

UmockdevUsbBus::UmockdevUsbBus() : testbed_(umockdev_testbed_new()) {}

UmockdevUsbBus::~UmockdevUsbBus() {
    // The testbed stops its worker thread, so nothing answers ioctls after this.
    g_object_unref(testbed_);
    for (auto& device : devices_) {
        for (auto& [client, urbs] : device->clients) {
            for (auto* queue : {&urbs.reapable, &urbs.hanging})
                for (const UrbInFlight& urb : *queue) g_object_unref(urb.urb);
            g_object_unref(client);
        }
        if (device->handler) g_object_unref(device->handler);
    }
}

std::string UmockdevUsbBus::AddDevice(const std::string& port,
                                      std::span<const std::uint8_t> descriptors,
                                      std::uint16_t vendorId, std::uint16_t productId,
                                      std::string& devnode) {
    const PortChain chain = ParsePort(port);
    const int number = ++lastDeviceNumber_.try_emplace(chain.bus, 1).first->second;
    std::string sysPath = "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(chain.bus);
    for (const std::string& name : chain.names) sysPath += "/" + name;

    char node[48];
    std::snprintf(node, sizeof node, "bus/usb/%03d/%03d", chain.bus, number);
    char ids[32];
    std::snprintf(ids, sizeof ids, "%x/%x/100", vendorId, productId);
    char vid[8], pid[8];
    std::snprintf(vid, sizeof vid, "%04x", vendorId);
    std::snprintf(pid, sizeof pid, "%04x", productId);
    const int minor = (chain.bus - 1) * 128 + number - 1;
    char busText[16], numberText[16];
    std::snprintf(busText, sizeof busText, "%03d", chain.bus);
    std::snprintf(numberText, sizeof numberText, "%03d", number);

    // A device record as umockdev-record writes it; attribute values end in a newline as in
    // sysfs, written as \n.
    std::string record = "P: " + sysPath + "\n";
    record += std::string("N: ") + node + "\n";
    record += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n";
    record += std::string("E: DEVNAME=/dev/") + node + "\n";
    record += std::string("E: BUSNUM=") + busText + "\nE: DEVNUM=" + numberText + "\n";
    record += std::string("E: PRODUCT=") + ids + "\n";
    record += "A: busnum=" + std::to_string(chain.bus) + "\\n\n";
    record += "A: devnum=" + std::to_string(number) + "\\n\n";
    record += "A: speed=480\\n\nA: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n\n";
    record += "A: dev=189:" + std::to_string(minor) + "\\n\n";
    record += std::string("A: idVendor=") + vid + "\\n\nA: idProduct=" + pid + "\\n\n";
    record += "H: descriptors=" + Hex(descriptors) + "\n";

    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev cannot add " + port + ": " + message);
    }
    devnode = std::string("/dev/") + node;
    return "/sys" + sysPath;
}

void UmockdevUsbBus::Plug(sim::SimChip& chip, const std::string& port) {
    if (PluggedDevice(chip)) throw std::logic_error("the chip is plugged in already");
    auto device = std::make_unique<Device>();
    device->bus = this;
    device->chip = &chip;
    std::vector<std::uint8_t> descriptors;
    const auto deviceDescriptor = chip.DeviceDescriptor();
    descriptors.assign(deviceDescriptor.begin(), deviceDescriptor.end());
    const auto config = ConfigurationFor(chip.Identity());
    descriptors.insert(descriptors.end(), config.begin(), config.end());
    device->syspath = AddDevice(port, descriptors, chip.Identity().vendorId,
                                chip.Identity().productId, device->devnode);

    device->handler = umockdev_ioctl_base_new();
    g_signal_connect(device->handler, "handle-ioctl", G_CALLBACK(&Device::HandleIoctl),
                     device.get());
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, device->devnode.c_str(), device->handler,
                                       &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev cannot emulate " + device->devnode + ": " + message);
    }
    // A libusb that is already running learns of the device from the add event.
    umockdev_testbed_uevent(testbed_, device->syspath.c_str(), "add");
    devices_.push_back(std::move(device));
}

void UmockdevUsbBus::PlugHub(const std::string& port) {
    auto hub = std::make_unique<Device>();
    hub->bus = this;
    hub->syspath = AddDevice(port, HubDescriptors(), 0x05E3, 0x0608, hub->devnode);
    umockdev_testbed_uevent(testbed_, hub->syspath.c_str(), "add");
    devices_.push_back(std::move(hub));
}

UmockdevUsbBus::Device* UmockdevUsbBus::PluggedDevice(const sim::SimChip& chip) const {
    for (const auto& device : devices_) {
        if (device->chip == &chip && device->plugged) return device.get();
    }
    return nullptr;
}

void UmockdevUsbBus::Unplug(const sim::SimChip& chip) {
    Device* device = PluggedDevice(chip);
    if (!device) throw std::logic_error("the chip is not plugged in");
    device->noDevice = true;
    device->plugged = false;
    // The event carries the device's properties, so it goes out before the device is gone.
    umockdev_testbed_uevent(testbed_, device->syspath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, device->syspath.c_str());
}

void UmockdevUsbBus::Disconnect(const sim::SimChip& chip) {
    Device* device = PluggedDevice(chip);
    if (!device) throw std::logic_error("the chip is not plugged in");
    device->noDevice = true;
}

void UmockdevUsbBus::SetUnresponsive(const sim::SimChip& chip, bool unresponsive) {
    Device* device = PluggedDevice(chip);
    if (!device) throw std::logic_error("the chip is not plugged in");
    device->unresponsive = unresponsive;
}

void UmockdevUsbBus::Record(const sim::SimChip& chip, WireTransfer transfer) {
    std::lock_guard lock(logMutex_);
    log_.emplace_back(&chip, std::move(transfer));
}

std::vector<WireTransfer> UmockdevUsbBus::Transfers(const sim::SimChip& chip) const {
    std::lock_guard lock(logMutex_);
    std::vector<WireTransfer> transfers;
    for (const auto& [owner, transfer] : log_) {
        if (owner == &chip) transfers.push_back(transfer);
    }
    return transfers;
}

void UmockdevUsbBus::ClearTransfers() {
    std::lock_guard lock(logMutex_);
    log_.clear();
}

}  // namespace qv::test
