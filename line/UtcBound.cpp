#include "line/UtcBound.h"

#include <cctype>

namespace qv {
namespace {

// The number of `digits` digits at `at`, or nothing.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t digits) {
    if (text.size() < at + digits) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int DaysIn(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<std::string> ParseUtcBound(std::string_view text) {
    if (text.ends_with('Z')) text.remove_suffix(1);
    const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
    if (!year || !month || !day || text[4] != '-' || text[7] != '-') return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > DaysIn(*year, *month)) return std::nullopt;
    std::string bound(text.substr(0, 10));
    if (text.size() == 10) return bound;
    if (text.size() != 16 && text.size() != 19) return std::nullopt;
    const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2);
    if ((text[10] != 'T' && text[10] != ' ') || text[13] != ':' || !hour || !minute || *hour > 23 ||
        *minute > 59)
        return std::nullopt;
    bound += "T" + std::string(text.substr(11, 5));
    if (text.size() == 19) {
        const auto second = Digits(text, 17, 2);
        if (text[16] != ':' || !second || *second > 59) return std::nullopt;
        bound += text.substr(16, 3);
    }
    return bound;
}

}  // namespace qv
