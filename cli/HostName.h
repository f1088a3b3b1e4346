#pragma once

#include <string>

namespace qv::cli {

// The machine's name as the system knows it ("unknown" when it cannot be told), for the audit
// log: not an environment variable anyone may set.
std::string HostName();

}  // namespace qv::cli
