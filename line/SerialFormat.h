#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// A board's serial number as --serial FORMAT describes it: literal text and the fields
// {yy}, {yyyy}, {mm}, {dd} (the date the number is given) and {seq:0N} (the number from the
// sequence, zero-padded to N digits; {seq} unpadded). QVUA{yy}{mm}{seq:06} gives QVUA2612000042.
class SerialFormat {
public:
    // The format read, or why it cannot serve: an unknown or unclosed field, no {seq} (every
    // board needs a number of its own), a character a USB string should not hold, or an
    // expansion longer than the 31 characters the image's serial-number string keeps.
    static SerialFormat Parse(const std::string& text);

    struct Date {
        int year = 0;
        int month = 0;
        int day = 0;
    };
    // The serial of the number `sequence` given on `date`.
    std::string Expand(const Date& date, std::uint64_t sequence) const;
    const std::string& Text() const { return text_; }

    // The largest number the sequence may reach (the padding's digits, else 9 digits).
    std::uint64_t LastSequence() const;

private:
    struct Piece {
        enum class Kind { Literal, Year2, Year4, Month, Day, Sequence } kind;
        std::string literal;
        int width = 0;  // the sequence's padding
    };
    std::string text_;
    std::vector<Piece> pieces_;
};

// The longest serial the image's serial-number string keeps.
inline constexpr std::size_t kMaxSerialLength = 31;

}  // namespace qv
