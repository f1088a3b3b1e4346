#pragma once

namespace qv::cli {

// Columns of the terminal standard output writes to; 80 when it cannot be told.
int TerminalColumns();

}  // namespace qv::cli
