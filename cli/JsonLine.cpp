#include "cli/JsonLine.h"

#include <cstdio>

namespace qv::cli {

std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            quoted += escaped;
        } else {
            quoted += c;
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
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    fields_ += text;
    return *this;
}

}  // namespace qv::cli
