#include "device/host/WinDeviceHost.h"

#include <timeapi.h>

#include <cstddef>

namespace qv {
namespace {

// Why the calling thread's last I/O control failed, from the error Windows gave for it.
thread_local DeviceHost::IoFailure lastFailure = DeviceHost::IoFailure::Refused;
// Whether the calling thread's last open failed with access denied.
thread_local bool lastOpenDenied = false;

GUID ToWindowsGuid(const Guid& guid) {
    GUID windowsGuid{};
    windowsGuid.Data1 = guid.data1;
    windowsGuid.Data2 = guid.data2;
    windowsGuid.Data3 = guid.data3;
    for (std::size_t i = 0; i < 8; ++i) windowsGuid.Data4[i] = guid.data4[i];
    return windowsGuid;
}

HANDLE AsHandle(HostHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// The path of one enumerated interface: the detail is asked for once to learn its size, then
// with a buffer of that size. No value when the second request fails.
std::optional<std::string> InterfacePathOf(const WinApi& api, HDEVINFO set,
                                           SP_DEVICE_INTERFACE_DATA& member) {
    DWORD required = 0;
    api.SetupDiGetDeviceInterfaceDetailA(set, &member, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return std::nullopt;
    std::vector<std::byte> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!api.SetupDiGetDeviceInterfaceDetailA(set, &member, detail, required, nullptr, nullptr))
        return std::nullopt;
    return std::string(detail->DevicePath);
}

}  // namespace

WinDeviceHost::WinDeviceHost(const WinApi& api) : api_(api) { timeBeginPeriod(1); }

WinDeviceHost::~WinDeviceHost() { timeEndPeriod(1); }

std::optional<std::vector<std::string>> WinDeviceHost::ListInterfaces(const Guid& interfaceClass) {
    const GUID classGuid = ToWindowsGuid(interfaceClass);
    const HDEVINFO set = api_.SetupDiGetClassDevsA(&classGuid, nullptr, nullptr,
                                                   DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<std::string> paths;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA member{};
        member.cbSize = sizeof member;
        // The listing ends at "no more items", and at any other failure too: a set that
        // fails once may fail for every further index, and the loop must not run forever.
        if (!api_.SetupDiEnumDeviceInterfaces(set, nullptr, &classGuid, index, &member)) break;
        if (auto path = InterfacePathOf(api_, set, member)) paths.push_back(std::move(*path));
    }
    api_.SetupDiDestroyDeviceInfoList(set);
    return paths;
}

HostHandle WinDeviceHost::OpenPath(const std::string& path) {
    const HANDLE handle =
        api_.CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    lastOpenDenied = handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED;
    return handle == INVALID_HANDLE_VALUE ? kNoHandle : reinterpret_cast<HostHandle>(handle);
}

void WinDeviceHost::ClosePath(HostHandle handle) {
    if (handle != kNoHandle) api_.CloseHandle(AsHandle(handle));
}

bool WinDeviceHost::IoControl(HostHandle handle, std::uint32_t controlCode,
                              std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                              std::uint32_t& bytesReturned) {
    DWORD returned = 0;
    if (handle == kNoHandle) {
        lastFailure = IoFailure::Gone;
        return false;
    }
    const BOOL ok = api_.DeviceIoControl(
        AsHandle(handle), controlCode, const_cast<std::uint8_t*>(input.data()),
        static_cast<DWORD>(input.size()), output.empty() ? nullptr : output.data(),
        static_cast<DWORD>(output.size()), &returned, nullptr);
    bytesReturned = returned;
    lastFailure = IoFailure::Refused;
    if (ok == FALSE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_DEV_NOT_EXIST)
            lastFailure = IoFailure::Gone;
        else if (error == ERROR_SEM_TIMEOUT || error == ERROR_TIMEOUT)
            lastFailure = IoFailure::NoAnswer;
    }
    return ok != FALSE;
}

DeviceHost::IoFailure WinDeviceHost::LastIoControlFailure() const { return lastFailure; }

bool WinDeviceHost::LastOpenDenied() const { return lastOpenDenied; }

void WinDeviceHost::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint64_t WinDeviceHost::NowMs() { return GetTickCount64(); }

}  // namespace qv
