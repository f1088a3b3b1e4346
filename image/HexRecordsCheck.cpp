#include "image/HexRecordsCheck.h"

#include <cstdint>
#include <vector>

namespace qv {
namespace {

constexpr std::uint8_t kDataRecord = 0x00;
constexpr std::uint8_t kEndRecord = 0x01;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The record's bytes after its ":", or nothing when a character is no hexadecimal digit or
// the digits do not pair up.
std::optional<std::vector<std::uint8_t>> RecordBytes(std::string_view digits) {
    if (digits.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = DigitValue(digits[i]);
        const int low = DigitValue(digits[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::optional<std::string> RecordProblem(std::string_view line) {
    if (line.empty() || line.front() != ':') return "not a record";
    const auto bytes = RecordBytes(line.substr(1));
    if (!bytes || bytes->size() < 5) return "not a record";
    if (bytes->size() != std::size_t{(*bytes)[0]} + 5)
        return "the record's length does not match its byte count";
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : *bytes) sum = static_cast<std::uint8_t>(sum + byte);
    if (sum != 0) return "the record's checksum is wrong";
    const std::uint8_t type = (*bytes)[3];
    if (type != kDataRecord && type != kEndRecord)
        return "record type " + std::to_string(type) + " is not supported (only 0 and 1)";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> HexRecordsProblem(std::string_view text) {
    bool ended = false;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (ended) return where + "data after the end record";
        if (const auto problem = RecordProblem(line)) return where + *problem;
        ended = line.substr(7, 2) == "01";
    }
    if (!ended) return "the file ends without its end record (cut off?)";
    return std::nullopt;
}

}  // namespace qv
