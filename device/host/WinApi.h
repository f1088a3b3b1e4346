#pragma once

// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on

namespace qv {

// The Windows calls WinDeviceHost makes to list, open and talk to the chip's drivers, one
// pointer each, filled with the real functions. A test replaces them with scripted ones, so the
// host's own logic runs unchanged against a Windows that answers as the script says. The
// scripted calls report their errors through SetLastError, as the real ones do.
struct WinApi {
    decltype(&::SetupDiGetClassDevsA) SetupDiGetClassDevsA = &::SetupDiGetClassDevsA;
    decltype(&::SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces =
        &::SetupDiEnumDeviceInterfaces;
    decltype(&::SetupDiGetDeviceInterfaceDetailA) SetupDiGetDeviceInterfaceDetailA =
        &::SetupDiGetDeviceInterfaceDetailA;
    decltype(&::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList =
        &::SetupDiDestroyDeviceInfoList;
    decltype(&::CreateFileA) CreateFileA = &::CreateFileA;
    decltype(&::CloseHandle) CloseHandle = &::CloseHandle;
    decltype(&::DeviceIoControl) DeviceIoControl = &::DeviceIoControl;
};

}  // namespace qv
