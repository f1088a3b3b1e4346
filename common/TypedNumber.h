#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qv {

// The error raised for a typed number that does not convert; its message is the one the
// user sees: "'<text>' is not a valid integer value".
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& text);
};

// Integer conversion of typed text. "0x" or "0X" followed by one or more hexadecimal digits of
// either case whose value fits in 32 bits converts as hexadecimal (a value above 0x7FFFFFFF
// wraps to a negative number; callers use the low 8 or 16 bits); otherwise the text must be an
// optional "-" and decimal digits within the 32-bit signed range. No blanks, no "+", nothing
// else. Hexadecimal fields convert "0x" + their text.
std::int32_t StrToInt(const std::string& text);

// "0x" + text, converted as above: the form used for every hexadecimal field.
std::int32_t HexFieldToInt(const std::string& text);

}  // namespace qv
