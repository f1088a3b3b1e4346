#include "line/JsonLine.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

namespace qv {
namespace {

// U+FFFD REPLACEMENT CHARACTER in UTF-8.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence of two bytes or more that starts at `at`, or 0
// when the bytes there are not one. A sequence is well-formed when its lead byte and every
// continuation byte lie in the ranges of the Unicode standard's table of well-formed byte
// sequences: no overlong forms (C0, C1, E0 80-9F, F0 80-8F), no surrogates (ED A0-BF), nothing
// above U+10FFFF (F4 90-BF, F5-FF). `maximal` receives how many bytes, from `at`, begin a
// well-formed sequence without completing it (at least 1): they are replaced as one character.
std::size_t SequenceLength(std::string_view text, std::size_t at, std::size_t& maximal) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte; the others are always 80-BF
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    maximal = 1;
    if (length == 0) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= text.size()) return 0;
        const unsigned char next = byte(i);
        const bool fits = i == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        if (!fits) return 0;
        maximal = i + 1;
    }
    return length;
}

}  // namespace

// Every text of a JSON line goes through here, so each line is valid JSON (RFC 8259) in valid
// UTF-8, whatever bytes a file name, an argument or a device path held:
// - `"` and `\` are escaped with a backslash;
// - the control bytes 0x00-0x1F are escaped: \b \f \n \r \t by name, the others as \u00XX;
//   0x7F and the other ASCII bytes pass as they are;
// - a well-formed UTF-8 sequence of two to four bytes passes unchanged;
// - bytes that are not well-formed UTF-8 (a stray continuation byte, C0, C1, F5-FF, an overlong
//   form, a surrogate, a sequence cut short) become U+FFFD, one for each maximal part of an
//   ill-formed sequence, as the Unicode standard recommends: "\xE2\x82" followed by "A" is one
//   U+FFFD and the "A", "\xFF\xFF" is two.
std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    quoted.reserve(text.size() + 2);
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x80) {
            std::size_t maximal = 1;
            if (const std::size_t length = SequenceLength(text, at, maximal)) {
                quoted += text.substr(at, length);
                at += length;
            } else {
                quoted += kReplacement;
                at += maximal;
            }
            continue;
        }
        ++at;
        switch (byte) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\b':
                quoted += "\\b";
                break;
            case '\f':
                quoted += "\\f";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    quoted += escaped;
                } else {
                    quoted += static_cast<char>(byte);
                }
        }
    }
    return quoted + "\"";
}

void JsonLine::Key(std::string_view key) {
    if (!fields_.empty()) fields_ += ",";
    fields_ += JsonString(key) + ":";
}

JsonLine& JsonLine::Add(std::string_view key, std::string_view text) {
    Key(key);
    fields_ += JsonString(text);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, bool value) {
    Key(key);
    fields_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, std::int64_t value) {
    Key(key);
    fields_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, std::uint64_t value) {
    Key(key);
    fields_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Add(std::string_view key, double value, int decimals) {
    Key(key);
    // JSON has no NaN or infinity.
    if (!std::isfinite(value)) {
        fields_ += "null";
        return *this;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    fields_ += text;
    return *this;
}

}  // namespace qv
