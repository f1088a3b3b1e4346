#include "cli/AccessHint.h"

namespace qv::cli {

std::string AccessHint() { return "install the udev rule (see README) or run as root"; }

}  // namespace qv::cli
