#include "SimulatedWindows.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

qv::sim::SimHost* bus = nullptr;

// What one SetupDiGetClassDevsA handed out: the class asked and its interfaces' paths then.
struct InterfaceSet {
    GUID interfaceClass;
    std::vector<std::string> paths;
};

InterfaceSet& SetOf(HDEVINFO set) { return *static_cast<InterfaceSet*>(set); }

qv::Guid OurGuid(const GUID& windowsGuid) {
    qv::Guid guid{windowsGuid.Data1, windowsGuid.Data2, windowsGuid.Data3, {}};
    for (std::size_t i = 0; i < 8; ++i) guid.data4[i] = windowsGuid.Data4[i];
    return guid;
}

HDEVINFO WINAPI ClassDevs(const GUID* classGuid, PCSTR, HWND, DWORD) {
    auto paths = bus->ListInterfaces(OurGuid(*classGuid));
    if (!paths) {
        SetLastError(ERROR_INVALID_DATA);
        return INVALID_HANDLE_VALUE;
    }
    return new InterfaceSet{*classGuid, std::move(*paths)};
}

// The member's index travels in the record's Reserved field, as Windows keeps its own
// reference there. A set holds no interfaces of another class than the one it was made for.
BOOL WINAPI EnumInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* classGuid, DWORD index,
                           PSP_DEVICE_INTERFACE_DATA member) {
    if (member->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const InterfaceSet& listed = SetOf(set);
    if (!IsEqualGUID(*classGuid, listed.interfaceClass) || index >= listed.paths.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    member->InterfaceClassGuid = listed.interfaceClass;
    member->Reserved = index;
    return TRUE;
}

BOOL WINAPI InterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA member,
                            PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                            PDWORD requiredSize, PSP_DEVINFO_DATA) {
    const std::string& path = SetOf(set).paths.at(member->Reserved);
    const DWORD required = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize) *requiredSize = required;
    if (detail == nullptr || detailSize < required) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL WINAPI DestroySet(HDEVINFO set) {
    delete &SetOf(set);
    return TRUE;
}

HANDLE WINAPI OpenByName(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    const qv::HostHandle handle = bus->OpenPath(path);
    if (handle == qv::kNoHandle) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return reinterpret_cast<HANDLE>(handle);
}

BOOL WINAPI CloseByHandle(HANDLE handle) {
    bus->ClosePath(reinterpret_cast<qv::HostHandle>(handle));
    return TRUE;
}

// The error a driver completes a failed request with: the device unplugged, the device not
// answering within the driver's timeout, or the request refused (a stall).
DWORD ErrorFor(qv::DeviceHost::IoFailure failure) {
    switch (failure) {
    case qv::DeviceHost::IoFailure::Gone: return ERROR_DEVICE_NOT_CONNECTED;
    case qv::DeviceHost::IoFailure::NoAnswer: return ERROR_SEM_TIMEOUT;
    case qv::DeviceHost::IoFailure::Refused: break;
    }
    return ERROR_GEN_FAILURE;
}

BOOL WINAPI IoControl(HANDLE handle, DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                      DWORD outputSize, LPDWORD returned, LPOVERLAPPED) {
    std::uint32_t count = 0;
    const bool ok = bus->IoControl(
        reinterpret_cast<qv::HostHandle>(handle), code,
        {static_cast<const std::uint8_t*>(input), inputSize},
        {static_cast<std::uint8_t*>(output), outputSize}, count);
    *returned = count;
    if (!ok) SetLastError(ErrorFor(bus->LastIoControlFailure()));
    return ok ? TRUE : FALSE;
}

}  // namespace

qv::WinApi SimulatedWindows(qv::sim::SimHost& simulatedBus) {
    bus = &simulatedBus;
    qv::WinApi api;
    api.SetupDiGetClassDevsA = ClassDevs;
    api.SetupDiEnumDeviceInterfaces = EnumInterfaces;
    api.SetupDiGetDeviceInterfaceDetailA = InterfaceDetail;
    api.SetupDiDestroyDeviceInfoList = DestroySet;
    api.CreateFileA = OpenByName;
    api.CloseHandle = CloseByHandle;
    api.DeviceIoControl = IoControl;
    return api;
}
