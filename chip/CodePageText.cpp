#include "chip/CodePageText.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace qv {
namespace {

// The characters of bytes 0x80 to 0x9F; 0 where the code page leaves the byte undefined.
// Every other byte is the character of the same number.
constexpr std::array<char32_t, 32> kHighControlRange{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char kUnknown = '?';

char ToByte(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<char>(character);
    const auto found = std::ranges::find(kHighControlRange, character);
    if (found == kHighControlRange.end()) return kUnknown;
    return static_cast<char>(0x80 + (found - kHighControlRange.begin()));
}

// Reads one UTF-8 sequence at `at` and moves past it; an invalid sequence (a stray
// continuation byte, a truncated or overlong sequence, a surrogate, a value above U+10FFFF)
// is consumed one byte at a time and gives no character.
bool NextCharacter(std::string_view text, std::size_t& at, char32_t& character) {
    const auto lead = static_cast<std::uint8_t>(text[at++]);
    if (lead < 0x80) {
        character = lead;
        return true;
    }
    int continuation = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (continuation == 0 || lead > 0xF4) return false;
    char32_t value = lead & (0x3F >> continuation);
    std::size_t next = at;
    for (int i = 0; i < continuation; ++i, ++next) {
        if (next >= text.size()) return false;
        const auto byte = static_cast<std::uint8_t>(text[next]);
        if ((byte & 0xC0) != 0x80) return false;
        value = (value << 6) | (byte & 0x3F);
    }
    constexpr std::array<char32_t, 4> kSmallest{0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[continuation] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    at = next;
    character = value;
    return true;
}

}  // namespace

std::string ToCodePage(std::string_view utf8) {
    std::string bytes;
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t character = 0;
        bytes += NextCharacter(utf8, at, character) ? ToByte(character) : kUnknown;
    }
    return bytes;
}

}  // namespace qv
