#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include <array>
#include <string>

#include "line/HostName.h"

namespace qv {

std::string HostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return "unknown";
    return name.data();
}

std::string ProcessId() { return std::to_string(::getpid()); }

bool ProcessRunning(const std::string& processId) {
    char* end = nullptr;
    const long id = std::strtol(processId.c_str(), &end, 10);
    if (end == processId.c_str() || *end != '\0' || id <= 0) return false;
    // Signal 0 only asks: a process of another user still answers EPERM.
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

}  // namespace qv
