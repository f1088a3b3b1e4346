#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/host/WinApi.h"

// A Windows that answers WinDeviceHost's calls as a script says and remembers what it was
// asked. Api() hands out a table of functions that act on the script that made it last; a
// test runs one script at a time. Failures are reported through SetLastError, as Windows does.
struct ScriptedWindows {
    // One member of the interface set, in enumeration order; after the last one the
    // enumeration reports ERROR_NO_MORE_ITEMS.
    struct Member {
        std::string path;
        DWORD enumerationError = 0;  // when not 0, enumerating this index fails with it
        bool detailFails = false;    // the detail request with a buffer fails
    };
    struct IoCall {
        HANDLE handle;
        DWORD code;
        std::vector<std::uint8_t> input;
        const void* output;
        DWORD outputSize;
        bool overlapped;
    };

    // Setup API
    bool setObtainable = true;
    std::vector<Member> members;
    std::vector<GUID> classesAsked;
    std::vector<DWORD> flagsAsked;
    std::vector<DWORD> indicesEnumerated;
    std::vector<HDEVINFO> setsDestroyed;
    bool foreignSetSeen = false;  // a call named a set this Windows never handed out

    // CreateFileA and CloseHandle
    HANDLE openResult = reinterpret_cast<HANDLE>(std::intptr_t{0x1D0});
    DWORD openError = ERROR_FILE_NOT_FOUND;  // when openResult is INVALID_HANDLE_VALUE
    std::string pathOpened;
    DWORD access = 0, share = 0, disposition = 0, flags = 0;
    bool extrasPassed = false;  // security attributes or a template were passed
    std::vector<HANDLE> handlesClosed;

    // DeviceIoControl: what the driver writes at the start of the output buffer, the count
    // it reports, its result and, when it fails, its error.
    std::vector<IoCall> ioCalls;
    std::vector<std::uint8_t> answer;
    DWORD bytesReported = 0;
    BOOL ioResult = TRUE;
    DWORD ioError = ERROR_GEN_FAILURE;

    static inline const HDEVINFO kSet = reinterpret_cast<HDEVINFO>(std::intptr_t{0x5E7});

    qv::WinApi Api();
};
