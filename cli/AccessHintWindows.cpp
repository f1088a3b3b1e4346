#include "cli/AccessHint.h"

namespace qv::cli {

// Windows denies a device's interface that another program holds open, or that needs an
// administrator.
std::string AccessHint() {
    return "close the program that has it open, or run as administrator";
}

}  // namespace qv::cli
