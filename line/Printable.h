#pragma once

#include <string>

namespace qv {

// A byte that would move the cursor, break a line or start an escape sequence on a terminal.
inline bool IsControlByte(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Text from the database or another program as one printable line: control bytes (a station
// name with escape sequences, a message with a line end) become '?'.
inline std::string Printable(std::string text) {
    for (char& c : text)
        if (IsControlByte(c)) c = '?';
    return text;
}

}  // namespace qv
