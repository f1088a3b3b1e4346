#include "device/host/TraceFormat.h"

#include <cstdio>
#include <ctime>

#include "common/HexFormat.h"

namespace qv {

std::string FormatTransferLine(std::uint64_t seq, Carrier carrier, const ControlSetup& setup,
                               bool ok, std::span<const std::uint8_t> data) {
    char head[96];
    std::snprintf(head, sizeof head, "%llu %c %s %02X %02X %04X %04X %u %s ",
                  static_cast<unsigned long long>(seq), carrier == Carrier::KsProperty ? 'K' : 'D',
                  setup.IsDeviceToHost() ? "IN" : "OUT", setup.requestType, setup.request,
                  setup.value, setup.index, setup.length, ok ? "OK" : "FAIL");
    std::string line = head;
    if (!ok || data.empty()) return line + "-";
    for (std::uint8_t byte : data) line += Hex2(byte);
    return line;
}

std::string FormatProbeLine(std::uint64_t seq, bool ok) {
    return std::to_string(seq) + " K PROBE " + (ok ? "OK" : "FAIL");
}

std::vector<std::string> TraceHeaderLines(const std::string& program, const std::string& hostKind) {
    const std::time_t now = std::time(nullptr);
    char date[32] = "";
    if (const std::tm* utc = std::gmtime(&now))
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", utc);
    return {"# tool: " + program + " " + QV_VERSION, "# host: " + hostKind,
            std::string("# date: ") + date};
}

std::string FormatDeviceLine(const std::string& path) { return "# device: " + path; }

}  // namespace qv
