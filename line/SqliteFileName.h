#pragma once

#include <string>

namespace qv {

// The name SQLite opens (UTF-8) for a file named as the command line and the C library name it:
// the same text on POSIX; on Windows the text of the ANSI code page, converted, so that
// sqlite:C:\Läufe\line.db opens the folder fopen would, not one with a mangled name.
std::string SqliteFileName(const std::string& path);

}  // namespace qv
