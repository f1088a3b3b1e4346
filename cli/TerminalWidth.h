#pragma once

#include <string>

namespace qv::cli {

// Columns of the terminal standard output writes to; 80 when it cannot be told.
int TerminalColumns();

// The line cut to one column short of the terminal's width, so that it never wraps: a redraw
// that moves up one row per line it wrote would leave a wrapped line's second row behind. A
// character of several bytes is never cut in two.
std::string FitToTerminal(std::string line);

}  // namespace qv::cli
