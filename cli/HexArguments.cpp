#include "cli/HexArguments.h"

#include "cli/CliErrors.h"
#include "common/TypedNumber.h"

namespace qv::cli {

static bool HasHexPrefix(const std::string& text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

static std::uint32_t CheckRange(const std::string& what, const std::string& text,
                                std::uint32_t value, std::uint32_t maxValue) {
    if (value > maxValue) throw BadInput(what + " '" + text + "' is out of range");
    return value;
}

// The message quotes the text as the user typed it, not the prefixed form the conversion sees.
std::uint32_t ParseHexArgument(const std::string& what, const std::string& text,
                               std::uint32_t maxValue) {
    try {
        const auto value =
            static_cast<std::uint32_t>(StrToInt(HasHexPrefix(text) ? text : "0x" + text));
        return CheckRange(what, text, value, maxValue);
    } catch (const ConversionError&) {
        throw BadInput(what + ": '" + text + "' is not a valid hexadecimal number");
    }
}

std::uint32_t ParseDecimalArgument(const std::string& what, const std::string& text,
                                   std::uint32_t maxValue) {
    try {
        if (HasHexPrefix(text)) throw ConversionError(text);
        const std::int32_t value = StrToInt(text);
        if (value < 0) throw BadInput(what + " '" + text + "' is out of range");
        return CheckRange(what, text, static_cast<std::uint32_t>(value), maxValue);
    } catch (const ConversionError& error) {
        throw BadInput(what + ": " + error.what());
    }
}

std::vector<std::uint8_t> ParseHexBytes(const std::string& what,
                                        const std::vector<std::string>& texts) {
    std::vector<std::uint8_t> bytes;
    for (const std::string& text : texts) {
        const std::string digits = HasHexPrefix(text) ? text.substr(2) : text;
        if (digits.empty() || digits.size() % 2 != 0 ||
            digits.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
            throw BadInput(what + " '" + text + "' is not a whole number of hexadecimal bytes");
        for (std::size_t i = 0; i < digits.size(); i += 2)
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace qv::cli
