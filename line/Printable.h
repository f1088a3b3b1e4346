#pragma once

#include <string>

namespace qv {

// Text from the database or another program as one printable line: control bytes (a station
// name with escape sequences, a message with a line end) become '?'.
inline std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

}  // namespace qv
