#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::cli {

// A hexadecimal argument, with or without "0x", at most maxValue. Throws BadInput naming the
// argument when it does not convert or is out of range.
std::uint32_t ParseHexArgument(const std::string& what, const std::string& text,
                               std::uint32_t maxValue);
// A decimal count, 0 to maxValue.
std::uint32_t ParseDecimalArgument(const std::string& what, const std::string& text,
                                   std::uint32_t maxValue);
// Data bytes given as hexadecimal pairs, in one or several arguments ("0A1B", "0A 1B"); `what`
// names where they came from in the message ("--data", "HEXBYTES").
std::vector<std::uint8_t> ParseHexBytes(const std::string& what,
                                        const std::vector<std::string>& texts);

}  // namespace qv::cli
