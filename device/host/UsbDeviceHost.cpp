#include "device/host/UsbDeviceHost.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "device/host/InterfacePath.h"

namespace qv {
namespace {

// Whether the calling thread's last transfer ran into the timeout: kept per thread, since
// several devices may be driven at once.
thread_local DeviceHost::IoFailure lastFailure = DeviceHost::IoFailure::Refused;
thread_local bool lastOpenDenied = false;

constexpr std::uint8_t kAudioControlSubclass = 1;

// "bus-port.port...", the device's place in the topology; stable while it stays plugged in.
std::string LocationOf(libusb_device* device) {
    std::uint8_t ports[8];
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    std::string location = std::to_string(libusb_get_bus_number(device)) + "-";
    if (depth <= 0) return location + "0";
    for (int i = 0; i < depth; ++i) {
        if (i > 0) location += ".";
        location += std::to_string(ports[i]);
    }
    return location;
}

std::vector<std::uint8_t> AudioControlInterfaces(libusb_device* device) {
    std::vector<std::uint8_t> numbers;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0) return numbers;
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& interface = config->interface[i];
        if (interface.num_altsetting < 1) continue;
        const libusb_interface_descriptor& alt = interface.altsetting[0];
        if (alt.bInterfaceClass == LIBUSB_CLASS_AUDIO &&
            alt.bInterfaceSubClass == kAudioControlSubclass)
            numbers.push_back(alt.bInterfaceNumber);
    }
    libusb_free_config_descriptor(config);
    return numbers;
}

// The device list, released when it goes out of scope.
class DeviceList {
public:
    explicit DeviceList(libusb_context* context) {
        const ssize_t count = libusb_get_device_list(context, &list_);
        count_ = count < 0 ? 0 : static_cast<std::size_t>(count);
        ok_ = count >= 0;
    }
    ~DeviceList() {
        if (list_) libusb_free_device_list(list_, 1);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    bool Ok() const { return ok_; }
    std::span<libusb_device*> Devices() const { return {list_, count_}; }

private:
    libusb_device** list_ = nullptr;
    std::size_t count_ = 0;
    bool ok_ = false;
};

}  // namespace

UsbDeviceHost::UsbDeviceHost() {
    if (libusb_init(&context_) != 0) context_ = nullptr;
}

UsbDeviceHost::~UsbDeviceHost() {
    for (auto& [id, open] : handles_) libusb_close(open.handle);
    if (context_) libusb_exit(context_);
}

std::vector<std::string> UsbDeviceHost::PathsOf(libusb_device* device,
                                                const Guid& interfaceClass) const {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0) return {};
    InterfacePath path{descriptor.idVendor, descriptor.idProduct, std::nullopt, LocationOf(device),
                       interfaceClass};
    if (interfaceClass == kUsbDeviceInterfaceClass) return {path.Text()};
    std::vector<std::string> paths;
    if (interfaceClass != kAudioInterfaceClass) return paths;
    for (std::uint8_t number : AudioControlInterfaces(device)) {
        path.interfaceNumber = number;
        paths.push_back(path.Text());
    }
    return paths;
}

std::optional<std::vector<std::string>> UsbDeviceHost::ListInterfaces(const Guid& interfaceClass) {
    if (!context_) return std::nullopt;
    DeviceList list(context_);
    if (!list.Ok()) return std::nullopt;
    std::vector<std::string> paths;
    for (libusb_device* device : list.Devices()) {
        for (auto& path : PathsOf(device, interfaceClass)) paths.push_back(std::move(path));
    }
    return paths;
}

HostHandle UsbDeviceHost::OpenPath(const std::string& path) {
    lastOpenDenied = false;
    const auto wanted = InterfacePath::Parse(path);
    if (!context_ || !wanted) return kNoHandle;
    DeviceList list(context_);
    libusb_device* device = DeviceAt(list.Devices(), path);
    if (device == nullptr) return kNoHandle;
    libusb_device_handle* handle = nullptr;
    const int opened = libusb_open(device, &handle);
    lastOpenDenied = opened == LIBUSB_ERROR_ACCESS;
    if (opened != 0) return kNoHandle;
    const Carrier carrier =
        wanted->interfaceClass == kAudioInterfaceClass ? Carrier::KsProperty : Carrier::DirectUsb;
    std::lock_guard lock(mutex_);
    handles_[nextHandle_] = {handle, carrier};
    return nextHandle_++;
}

libusb_device* UsbDeviceHost::DeviceAt(std::span<libusb_device*> devices,
                                       const std::string& path) const {
    const auto wanted = InterfacePath::Parse(path);
    if (!wanted) return nullptr;
    for (libusb_device* device : devices) {
        const auto paths = PathsOf(device, wanted->interfaceClass);
        if (std::find(paths.begin(), paths.end(), path) != paths.end()) return device;
    }
    return nullptr;
}

// The string descriptor iSerialNumber names, read through a handle of its own (a
// standard request, so no claimed interface is needed); empty when the device has none or
// cannot be opened.
std::string UsbDeviceHost::SerialNumber(const std::string& path) {
    if (!context_) return {};
    DeviceList list(context_);
    libusb_device* device = DeviceAt(list.Devices(), path);
    libusb_device_descriptor descriptor{};
    if (device == nullptr || libusb_get_device_descriptor(device, &descriptor) != 0 ||
        descriptor.iSerialNumber == 0)
        return {};
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0) return {};
    unsigned char text[256] = {};
    const int length =
        libusb_get_string_descriptor_ascii(handle, descriptor.iSerialNumber, text, sizeof text);
    libusb_close(handle);
    if (length <= 0) return {};
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

// The node libusb opens the device through: /dev/bus/usb/BUS/ADDRESS.
std::string UsbDeviceHost::SystemPath(const std::string& path) {
    if (!context_) return path;
    DeviceList list(context_);
    libusb_device* device = DeviceAt(list.Devices(), path);
    if (device == nullptr) return path;
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return node;
}

bool UsbDeviceHost::OpenDenied(const std::string& path) {
    if (!context_) return false;
    DeviceList list(context_);
    libusb_device* device = DeviceAt(list.Devices(), path);
    libusb_device_handle* handle = nullptr;
    if (device == nullptr) return false;
    const int opened = libusb_open(device, &handle);
    if (opened == 0) libusb_close(handle);
    return opened == LIBUSB_ERROR_ACCESS;
}

void UsbDeviceHost::ClosePath(HostHandle handle) {
    std::lock_guard lock(mutex_);
    const auto open = handles_.find(handle);
    if (open == handles_.end()) return;
    libusb_close(open->second.handle);
    handles_.erase(open);
}

bool UsbDeviceHost::IoControl(HostHandle handle, std::uint32_t controlCode,
                              std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                              std::uint32_t& bytesReturned) {
    bytesReturned = 0;
    lastFailure = IoFailure::Refused;
    OpenDevice device{};
    {
        std::lock_guard lock(mutex_);
        const auto open = handles_.find(handle);
        if (open == handles_.end()) {
            lastFailure = IoFailure::Gone;
            return false;
        }
        device = open->second;
    }
    const DriverCall call = DecodeDriverCall(controlCode, input, output);
    if (call.kind == DriverCall::Kind::Rejected || call.carrier != device.carrier) return false;
    // The audio driver answers the property-set question itself, without a transfer.
    if (call.kind == DriverCall::Kind::SupportQuery) return true;
    return Transfer(device.handle, call, output, bytesReturned);
}

bool UsbDeviceHost::Transfer(libusb_device_handle* handle, const DriverCall& call,
                             std::span<std::uint8_t> output, std::uint32_t& bytesReturned) {
    const ControlSetup& setup = call.setup;
    if (setup.length > 0xFFFF) return false;
    std::vector<std::uint8_t> buffer = call.outData;
    buffer.resize(setup.length);
    const int result = libusb_control_transfer(
        handle, setup.requestType, setup.request, setup.value, setup.index, buffer.data(),
        static_cast<std::uint16_t>(setup.length), kTransferTimeoutMs);
    lastFailure = result == LIBUSB_ERROR_TIMEOUT     ? IoFailure::NoAnswer
                  : result == LIBUSB_ERROR_NO_DEVICE ? IoFailure::Gone
                                                     : IoFailure::Refused;
    if (result < 0) return false;
    bytesReturned = static_cast<std::uint32_t>(result);
    if (setup.IsDeviceToHost()) {
        const std::size_t count = std::min<std::size_t>(bytesReturned, output.size());
        std::copy_n(buffer.begin(), count, output.begin());
    }
    return true;
}

DeviceHost::IoFailure UsbDeviceHost::LastIoControlFailure() const { return lastFailure; }
bool UsbDeviceHost::LastOpenDenied() const { return lastOpenDenied; }

void UsbDeviceHost::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::uint64_t UsbDeviceHost::NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace qv
