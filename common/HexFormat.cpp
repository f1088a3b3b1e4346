#include "common/HexFormat.h"

#include <cstdio>

namespace qv {

static std::string Format(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Hex2(std::uint8_t value) { return Format("%02X", value); }
std::string Hex4(std::uint16_t value) { return Format("%04X", value); }
std::string Hex6(std::uint32_t value) { return Format("%06X", value & 0xFFFFFFu); }

}  // namespace qv
