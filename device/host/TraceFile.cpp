#include "device/host/TraceFile.h"

#include <fstream>
#include <sstream>

namespace qv {
namespace {

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

bool ParseBytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (text == "-") return true;
    if (text.size() % 2 != 0) return false;
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

}  // namespace

std::optional<RecordedTransfer> ParseTransferLine(const std::string& text) {
    std::istringstream fields(text);
    std::vector<std::string> f;
    for (std::string field; fields >> field;) f.push_back(field);
    RecordedTransfer line;
    line.text = text;
    if (f.size() == 4 && f[1] == "K" && f[2] == "PROBE") {
        line.probe = true;
        line.carrier = Carrier::KsProperty;
        if (!ParseStatus(f[3], line.ok)) return std::nullopt;
        return line;
    }
    if (f.size() != 10 || (f[1] != "D" && f[1] != "K") || (f[2] != "OUT" && f[2] != "IN"))
        return std::nullopt;
    line.carrier = f[1] == "K" ? Carrier::KsProperty : Carrier::DirectUsb;
    std::uint32_t type = 0, request = 0, value = 0, index = 0;
    if (!ParseHex(f[3], 2, type) || !ParseHex(f[4], 2, request) || !ParseHex(f[5], 4, value) ||
        !ParseHex(f[6], 4, index))
        return std::nullopt;
    line.setup = {static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(request),
                  static_cast<std::uint16_t>(value), static_cast<std::uint16_t>(index), 0};
    if (line.setup.IsDeviceToHost() != (f[2] == "IN")) return std::nullopt;
    try {
        std::size_t used = 0;
        line.setup.length = static_cast<std::uint32_t>(std::stoul(f[7], &used));
        if (used != f[7].size()) return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!ParseStatus(f[8], line.ok) || !ParseBytes(f[9], line.data)) return std::nullopt;
    if (line.data.size() > line.setup.length) return std::nullopt;
    return line;
}

std::optional<TraceFile> ReadTraceFile(const std::string& fileName, std::string& error) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        error = "Cannot read " + fileName;
        return std::nullopt;
    }
    TraceFile trace;
    std::size_t number = 0;
    for (std::string text; std::getline(file, text);) {
        ++number;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.find_first_not_of(' ') == std::string::npos) continue;
        if (text[0] == '#') {
            const auto colon = text.find(':');
            if (colon == std::string::npos) continue;
            const auto keyStart = text.find_first_not_of(' ', 1);
            const auto valueStart = text.find_first_not_of(' ', colon + 1);
            if (keyStart >= colon) continue;
            trace.comments.emplace(text.substr(keyStart, colon - keyStart),
                                   valueStart == std::string::npos ? "" : text.substr(valueStart));
            continue;
        }
        auto line = ParseTransferLine(text);
        if (!line) {
            error = fileName + ":" + std::to_string(number) + ": not a line of a trace: " + text;
            return std::nullopt;
        }
        line->lineNumber = number;
        trace.transfers.push_back(std::move(*line));
    }
    return trace;
}

}  // namespace qv
