#include <windows.h>

#include "cli/HostName.h"

namespace qv::cli {

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size) || size == 0) return "unknown";
    return std::string(name, size);
}

}  // namespace qv::cli
