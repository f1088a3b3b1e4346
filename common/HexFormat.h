#pragma once

#include <cstdint>
#include <string>

namespace qv {

// Displayed numbers: upper-case hexadecimal without prefix, two digits for a byte, four for a
// 16-bit sum, six for a flash address.
std::string Hex2(std::uint8_t value);
std::string Hex4(std::uint16_t value);
std::string Hex6(std::uint32_t value);

}  // namespace qv
