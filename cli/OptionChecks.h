#pragma once

#include <CLI/CLI.hpp>

namespace qv::cli {

// A check whose own text the help leaves out: the option's placeholder ("FILE", "1..255") says
// what it takes, so that the help does not read "UINT:UINT in [1 - 255]".
inline CLI::Validator Unlabelled(CLI::Validator check) {
    check.description("");
    return check;
}

}  // namespace qv::cli
