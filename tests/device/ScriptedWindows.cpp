#include "ScriptedWindows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

ScriptedWindows* script = nullptr;

HDEVINFO WINAPI ClassDevs(const GUID* classGuid, PCSTR, HWND, DWORD flags) {
    script->classesAsked.push_back(*classGuid);
    script->flagsAsked.push_back(flags);
    if (!script->setObtainable) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return ScriptedWindows::kSet;
}

// The member's index travels in the record's Reserved field, as Windows keeps its own
// reference there.
BOOL WINAPI EnumInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                           PSP_DEVICE_INTERFACE_DATA member) {
    script->foreignSetSeen |= set != ScriptedWindows::kSet;
    script->indicesEnumerated.push_back(index);
    if (member->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (index >= script->members.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    if (const DWORD error = script->members[index].enumerationError) {
        SetLastError(error);
        return FALSE;
    }
    member->Reserved = index;
    return TRUE;
}

BOOL WINAPI InterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA member,
                            PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                            PDWORD requiredSize, PSP_DEVINFO_DATA) {
    script->foreignSetSeen |= set != ScriptedWindows::kSet;
    const ScriptedWindows::Member& scripted = script->members.at(member->Reserved);
    const DWORD required = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + scripted.path.size() + 1);
    if (requiredSize) *requiredSize = required;
    if (detail == nullptr || detailSize < required) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || scripted.detailFails) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::memcpy(detail->DevicePath, scripted.path.c_str(), scripted.path.size() + 1);
    return TRUE;
}

BOOL WINAPI DestroySet(HDEVINFO set) {
    script->setsDestroyed.push_back(set);
    return TRUE;
}

HANDLE WINAPI OpenByName(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile) {
    script->pathOpened = path;
    script->access = access;
    script->share = share;
    script->disposition = disposition;
    script->flags = flags;
    script->extrasPassed = security != nullptr || templateFile != nullptr;
    if (script->openResult == INVALID_HANDLE_VALUE) SetLastError(script->openError);
    return script->openResult;
}

BOOL WINAPI CloseByHandle(HANDLE handle) {
    script->handlesClosed.push_back(handle);
    return TRUE;
}

BOOL WINAPI IoControl(HANDLE handle, DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                      DWORD outputSize, LPDWORD returned, LPOVERLAPPED overlapped) {
    const auto* in = static_cast<const std::uint8_t*>(input);
    script->ioCalls.push_back(
        {handle, code, {in, in + inputSize}, output, outputSize, overlapped != nullptr});
    const std::size_t written = std::min<std::size_t>(script->answer.size(), outputSize);
    if (written > 0) std::memcpy(output, script->answer.data(), written);
    *returned = script->bytesReported;
    if (!script->ioResult) SetLastError(script->ioError);
    return script->ioResult;
}

}  // namespace

qv::WinApi ScriptedWindows::Api() {
    script = this;
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
