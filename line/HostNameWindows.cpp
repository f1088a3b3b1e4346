#include <windows.h>

#include <cstdlib>

#include "line/HostName.h"

namespace qv {

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size) || size == 0) return "unknown";
    return std::string(name, size);
}

std::string ProcessId() { return std::to_string(GetCurrentProcessId()); }

bool ProcessRunning(const std::string& processId) {
    char* end = nullptr;
    const unsigned long id = std::strtoul(processId.c_str(), &end, 10);
    if (end == processId.c_str() || *end != '\0' || id == 0) return false;
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

}  // namespace qv
