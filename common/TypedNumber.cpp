#include "common/TypedNumber.h"

#include <cctype>
#include <limits>

namespace qv {

ConversionError::ConversionError(const std::string& text)
    : std::runtime_error("'" + text + "' is not a valid integer value") {}

static int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

static std::int32_t ConvertHex(const std::string& text) {
    if (text.size() <= 2) throw ConversionError(text);
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) throw ConversionError(text);
        value = (value << 4) | static_cast<unsigned>(digit);
        if (value > std::numeric_limits<std::uint32_t>::max()) throw ConversionError(text);
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

static std::int32_t ConvertDecimal(const std::string& text) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t first = negative ? 1 : 0;
    if (text.size() == first) throw ConversionError(text);
    std::int64_t value = 0;
    for (std::size_t i = first; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) throw ConversionError(text);
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            throw ConversionError(text);
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<std::int32_t>::max()) throw ConversionError(text);
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToInt(const std::string& text) {
    const bool hex = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    return hex ? ConvertHex(text) : ConvertDecimal(text);
}

std::int32_t HexFieldToInt(const std::string& text) { return StrToInt("0x" + text); }

}  // namespace qv
