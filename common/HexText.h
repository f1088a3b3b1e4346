#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

// Converts exactly `length` characters of `text`, first character most significant: each
// character shifts the value left by 4 bits and adds its digit, "0"-"9", "A"-"F" and "a"-"f"
// giving 0 to 15 and every other character (a blank, "x", a line end, a byte of 0x80 or above)
// giving 0. Places past the end of a short text count as 0 too, so "5" with length 2 is 0x50.
// It never fails.
std::uint32_t HexTextToInt(std::string_view text, std::size_t length);

}  // namespace qv
