#include "device/host/TraceFile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/HexFormat.h"

namespace qv {
namespace {

// Sequence numbers and lengths are read as at most this many decimal digits, which cannot
// overflow 64 bits.
constexpr std::size_t kMaxDecimalDigits = 19;

bool ParseHex(const std::string& text, std::size_t digits, std::uint32_t& value) {
    if (text.size() != digits) return false;
    value = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0) return false;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

// Decimal digits only: no sign, no blank, no prefix.
bool ParseDecimal(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > kMaxDecimalDigits) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

bool ParseBytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (text == "-") return true;
    if (text.empty() || text.size() % 2 != 0) return false;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        std::uint32_t byte = 0;
        if (!ParseHex(text.substr(i, 2), 2, byte)) return false;
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    return true;
}

bool ParseStatus(const std::string& text, bool& ok) {
    ok = text == "OK";
    return ok || text == "FAIL";
}

std::optional<RecordedTransfer> Refuse(std::string* problem, std::string why) {
    if (problem) *problem = std::move(why);
    return std::nullopt;
}

// Splits a stream into lines without ever holding more than kMaxTraceLineLength bytes of one,
// and tells a read error from the end of the stream.
class LineReader {
public:
    enum class Result { Line, End, TooLong, Failed };

    explicit LineReader(std::istream& in) : in_(in) {}

    // The next line without its '\n'; the last line need not end in one.
    Result Next(std::string& line) {
        line.clear();
        bool started = false;
        for (;;) {
            if (next_ == end_ && !Fill()) {
                if (in_.bad()) return Result::Failed;
                return started ? Result::Line : Result::End;
            }
            started = true;
            const char* from = buffer_.data() + next_;
            const char* to = buffer_.data() + end_;
            const char* lineEnd = std::find(from, to, '\n');
            const auto count = static_cast<std::size_t>(lineEnd - from);
            if (line.size() + count > kMaxTraceLineLength) return Result::TooLong;
            line.append(from, count);
            next_ += count;
            if (lineEnd != to) {
                ++next_;
                return Result::Line;
            }
        }
    }

private:
    // False at the end of the stream or on a read error (the stream's bad bit tells which).
    bool Fill() {
        next_ = end_ = 0;
        if (!in_.good()) return false;
        in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        end_ = static_cast<std::size_t>(in_.gcount());
        return end_ > 0;
    }

    std::istream& in_;
    std::array<char, 8192> buffer_{};
    std::size_t next_ = 0;
    std::size_t end_ = 0;
};

bool IsPrintable(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

std::string EchoedText(std::string_view text) {
    constexpr std::string_view kEllipsis = "...";
    std::string echo;
    std::size_t cut = 0;  // where to cut so that the ellipsis still fits
    for (char c : text) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte >= 0x20 && byte < 0x7F)
            echo += c;
        else
            echo += "\\x" + Hex2(byte);
        if (echo.size() > kMaxEchoedLength) {
            echo.resize(cut);
            return echo += kEllipsis;
        }
        if (echo.size() <= kMaxEchoedLength - kEllipsis.size()) cut = echo.size();
    }
    return echo;
}

std::optional<RecordedTransfer> ParseTransferLine(const std::string& text, std::string* problem) {
    std::istringstream fields(text);
    std::vector<std::string> f;
    for (std::string field; fields >> field;) f.push_back(field);
    RecordedTransfer line;
    line.text = text;
    const bool isProbe = f.size() == 4 && f[2] == "PROBE";
    if (!isProbe && f.size() != 10)
        return Refuse(problem, std::to_string(f.size()) + " fields where a transfer has 10");
    if (!ParseDecimal(f[0], line.seq))
        return Refuse(problem, "the sequence number is not a decimal number");
    if (isProbe) {
        if (f[1] != "K") return Refuse(problem, "a PROBE is on the audio carrier K only");
        line.probe = true;
        line.carrier = Carrier::KsProperty;
        if (!ParseStatus(f[3], line.ok))
            return Refuse(problem, "the status is neither OK nor FAIL");
        return line;
    }
    if (f[1] != "D" && f[1] != "K") return Refuse(problem, "the carrier is neither D nor K");
    if (f[2] != "OUT" && f[2] != "IN")
        return Refuse(problem, "the direction is neither OUT nor IN");
    line.carrier = f[1] == "K" ? Carrier::KsProperty : Carrier::DirectUsb;
    std::uint32_t type = 0, request = 0, value = 0, index = 0;
    if (!ParseHex(f[3], 2, type)) return Refuse(problem, "the type is not 2 hexadecimal digits");
    if (!ParseHex(f[4], 2, request))
        return Refuse(problem, "the request is not 2 hexadecimal digits");
    if (!ParseHex(f[5], 4, value)) return Refuse(problem, "the value is not 4 hexadecimal digits");
    if (!ParseHex(f[6], 4, index)) return Refuse(problem, "the index is not 4 hexadecimal digits");
    line.setup = {static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(request),
                  static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(index), 0};
    const bool in = f[2] == "IN";
    if (line.setup.IsDeviceToHost() != in)
        return Refuse(problem, "the direction " + f[2] + " contradicts the type " +
                                   Hex2(line.setup.requestType) +
                                   (in ? " (bit 7 clear: OUT)" : " (bit 7 set: IN)"));
    // The audio driver sends every request with the type 20, bit 7 set for a GET.
    if (line.carrier == Carrier::KsProperty && (line.setup.requestType & 0x7F) != 0x20)
        return Refuse(problem, "the type of a K line is 20 or A0");
    // Digits only; any number of them is read as a length too large, never wrapped.
    if (f[7].find_first_not_of("0123456789") != std::string::npos)
        return Refuse(problem, "the length is not a decimal number");
    const auto significant = f[7].find_first_not_of('0');
    std::uint64_t length = 0;
    if (significant != std::string::npos &&
        (!ParseDecimal(f[7].substr(significant), length) || length > kMaxTransferLength))
        return Refuse(problem, "the length is more than the " + std::to_string(kMaxTransferLength) +
                                   " bytes a control transfer carries");
    line.setup.length = static_cast<std::uint32_t>(length);
    if (!ParseStatus(f[8], line.ok)) return Refuse(problem, "the status is neither OK nor FAIL");
    if (!ParseBytes(f[9], line.data))
        return Refuse(problem, "the data is neither '-' nor pairs of hexadecimal digits");
    const std::string count = std::to_string(line.data.size());
    if (!line.ok && !line.data.empty()) return Refuse(problem, "a FAIL line carries data");
    if (line.ok && !in && line.data.size() != length)
        return Refuse(problem, "an OUT of " + std::to_string(length) + " bytes carries " + count);
    if (line.ok && in && line.data.size() > length)
        return Refuse(problem, "an IN of " + std::to_string(length) + " bytes returned " + count);
    return line;
}

std::optional<TraceFile> ReadTrace(std::istream& in, const std::string& name, std::string& error) {
    TraceFile trace;
    LineReader reader(in);
    std::size_t number = 0;
    const auto refuse = [&](const std::string& why) {
        error = name + ":" + std::to_string(number) + ": " + why;
        return std::nullopt;
    };
    for (std::string text;;) {
        const LineReader::Result read = reader.Next(text);
        if (read == LineReader::Result::End) break;
        ++number;
        if (read == LineReader::Result::Failed)
            return refuse("read error; the trace cannot be read to its end");
        if (read == LineReader::Result::TooLong)
            return refuse("a line longer than " + std::to_string(kMaxTraceLineLength) + " bytes");
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.find_first_not_of(' ') == std::string::npos) continue;
        if (text[0] == '#') {
            const auto colon = text.find(':');
            if (colon == std::string::npos) continue;
            const auto keyStart = text.find_first_not_of(' ', 1);
            const auto valueStart = text.find_first_not_of(' ', colon + 1);
            if (keyStart >= colon) continue;
            const std::string key = text.substr(keyStart, colon - keyStart);
            const std::string value =
                valueStart == std::string::npos ? "" : text.substr(valueStart);
            // The device path is shown to the operator (a listing names it).
            if (key == "device" && !IsPrintable(value))
                return refuse("the device path is not printable text: " + EchoedText(text));
            trace.comments.emplace(key, value);
            continue;
        }
        std::string problem;
        auto line = ParseTransferLine(text, &problem);
        if (!line) return refuse("not a line of a trace (" + problem + "): " + EchoedText(text));
        const std::uint64_t expected = trace.transfers.size() + 1;
        if (line->seq != expected)
            return refuse("sequence number " + std::to_string(line->seq) + " where " +
                          std::to_string(expected) + " was expected: " + EchoedText(text));
        line->lineNumber = number;
        trace.transfers.push_back(std::move(*line));
    }
    return trace;
}

std::optional<TraceFile> ReadTraceFile(const std::string& fileName, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code statusError;
    const fs::file_status status = fs::status(fileName, statusError);
    if (statusError || !fs::exists(status)) {
        error = "Cannot read " + fileName;
        return std::nullopt;
    }
    if (fs::is_directory(status)) {
        error = fileName + " is a folder, not a trace file";
        return std::nullopt;
    }
    // Opening a FIFO would wait for a writer; a device may never end.
    if (!fs::is_regular_file(status)) {
        error = fileName + " is not a regular file (a trace is no FIFO, device or socket)";
        return std::nullopt;
    }
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        error = "Cannot read " + fileName;
        return std::nullopt;
    }
    return ReadTrace(file, fileName, error);
}

}  // namespace qv
