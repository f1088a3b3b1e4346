#include "line/SerialFormat.h"

#include <cstdio>

#include "line/RecordErrors.h"

namespace qv {
namespace {

constexpr int kUnpaddedDigits = 9;

std::string Padded(std::uint64_t value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

}  // namespace

SerialFormat SerialFormat::Parse(const std::string& text) {
    SerialFormat format;
    format.text_ = text;
    const auto refuse = [&](const std::string& why) {
        throw RecordsRefused(text + ": " + why);
    };
    bool sequence = false;
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (c != '{') {
            if (c < 0x21 || c > 0x7E || c == '}') refuse("only printable ASCII without blanks");
            if (format.pieces_.empty() || format.pieces_.back().kind != Piece::Kind::Literal)
                format.pieces_.push_back({Piece::Kind::Literal, "", 0});
            format.pieces_.back().literal += c;
            ++at;
            continue;
        }
        const std::size_t end = text.find('}', at);
        if (end == std::string::npos) refuse("a field is not closed");
        const std::string field = text.substr(at + 1, end - at - 1);
        at = end + 1;
        if (field == "yy") {
            format.pieces_.push_back({Piece::Kind::Year2, "", 0});
        } else if (field == "yyyy") {
            format.pieces_.push_back({Piece::Kind::Year4, "", 0});
        } else if (field == "mm") {
            format.pieces_.push_back({Piece::Kind::Month, "", 0});
        } else if (field == "dd") {
            format.pieces_.push_back({Piece::Kind::Day, "", 0});
        } else if (field == "seq" || (field.starts_with("seq:0") && field.size() > 5 &&
                                      field.find_first_not_of("0123456789", 5) == std::string::npos)) {
            if (sequence) refuse("{seq} may appear once");
            sequence = true;
            const std::string digits = field == "seq" ? "" : field.substr(5);
            if (digits.size() > 2 || (!digits.empty() && std::stoi(digits) > 18))
                refuse("{seq:0N} takes at most 18 digits");
            const int width = digits.empty() ? 0 : std::stoi(digits);
            if (width < 1 && field != "seq") refuse("{seq:0N} needs N of 1 or more");
            format.pieces_.push_back({Piece::Kind::Sequence, "", width});
        } else {
            refuse("unknown field {" + field + "} (fields: {yy} {yyyy} {mm} {dd} {seq:0N})");
        }
    }
    if (!sequence) refuse("needs {seq} or {seq:0N}, a number for each board");
    const std::size_t longest = format.Expand({9999, 12, 31}, format.LastSequence()).size();
    if (longest > kMaxSerialLength)
        refuse("gives up to " + std::to_string(longest) + " characters; the image keeps " +
               std::to_string(kMaxSerialLength));
    return format;
}

std::uint64_t SerialFormat::LastSequence() const {
    for (const Piece& piece : pieces_)
        if (piece.kind == Piece::Kind::Sequence) {
            std::uint64_t last = 0;
            for (int i = 0; i < (piece.width > 0 ? piece.width : kUnpaddedDigits); ++i)
                last = last * 10 + 9;
            return last;
        }
    return 0;
}

std::string SerialFormat::Expand(const Date& date, std::uint64_t sequence) const {
    std::string serial;
    for (const Piece& piece : pieces_) {
        switch (piece.kind) {
            case Piece::Kind::Literal: serial += piece.literal; break;
            case Piece::Kind::Year2: serial += Padded(date.year % 100, 2); break;
            case Piece::Kind::Year4: serial += Padded(date.year, 4); break;
            case Piece::Kind::Month: serial += Padded(date.month, 2); break;
            case Piece::Kind::Day: serial += Padded(date.day, 2); break;
            case Piece::Kind::Sequence: serial += Padded(sequence, piece.width); break;
        }
    }
    return serial;
}

}  // namespace qv
