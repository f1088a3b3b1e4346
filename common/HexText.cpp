#include "common/HexText.h"

namespace qv {

static std::uint32_t DigitOrZero(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
    return 0;
}

std::uint32_t HexTextToInt(std::string_view text, std::size_t length) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        value = (value << 4) + (i < text.size() ? DigitOrZero(text[i]) : 0);
    }
    return value;
}

}  // namespace qv
