#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

// One JSON object written on one line, field by field, in the order added: what --json and the
// audit log print. Texts are escaped so that the line is always valid JSON: control bytes as
// escapes, bytes that are not well-formed UTF-8 as U+FFFD (see JsonString).
class JsonLine {
public:
    JsonLine& Add(std::string_view key, std::string_view text);
    JsonLine& Add(std::string_view key, const char* text) { return Add(key, std::string_view(text)); }
    JsonLine& Add(std::string_view key, const std::string& text) {
        return Add(key, std::string_view(text));
    }
    JsonLine& Add(std::string_view key, bool value);
    JsonLine& Add(std::string_view key, std::int64_t value);
    JsonLine& Add(std::string_view key, std::uint64_t value);
    JsonLine& Add(std::string_view key, int value) { return Add(key, std::int64_t{value}); }
    JsonLine& Add(std::string_view key, std::uint32_t value) {
        return Add(key, std::uint64_t{value});
    }
    // A number with the given digits after the point; null when it is not finite.
    JsonLine& Add(std::string_view key, double value, int decimals);
    // The object with its braces, without a line end.
    std::string Text() const { return "{" + fields_ + "}"; }

private:
    void Key(std::string_view key);
    std::string fields_;
};

// A JSON string literal, quotes included, in valid UTF-8 whatever bytes `text` holds.
std::string JsonString(std::string_view text);

}  // namespace qv
