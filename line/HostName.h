#pragma once

#include <string>

namespace qv {

// The machine's name as the system knows it ("unknown" when it cannot be told), for the audit
// log: not an environment variable anyone may set.
std::string HostName();
// This process's ID, as the system's tools show it.
std::string ProcessId();
// Whether a process of this machine with that ID (as ProcessId gives it) is running.
bool ProcessRunning(const std::string& processId);

}  // namespace qv
