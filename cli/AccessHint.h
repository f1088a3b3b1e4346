#pragma once

#include <string>

namespace qv::cli {

// What the user can do about a device the system would not open for them, on this system.
std::string AccessHint();

}  // namespace qv::cli
