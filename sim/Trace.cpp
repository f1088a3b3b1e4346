#include "sim/Trace.h"

#include <cstdio>

#include "common/HexFormat.h"

namespace qv::sim {

bool Trace::WriteTo(const std::string& fileName) {
    file_.open(fileName, std::ios::out | std::ios::trunc);
    return file_.is_open();
}

std::string Trace::FormatTransfer(std::uint64_t seq, Carrier carrier, const ControlSetup& setup,
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

void Trace::Transfer(Carrier carrier, const ControlSetup& setup, bool ok,
                     std::span<const std::uint8_t> data) {
    if (!IsOn()) return;
    Write(FormatTransfer(++seq_, carrier, setup, ok, data));
}

void Trace::SupportQuery(bool ok) {
    if (!IsOn()) return;
    Write(std::to_string(++seq_) + " K PROBE " + (ok ? "OK" : "FAIL"));
}

void Trace::Write(const std::string& line) {
    if (keepLines_) lines_.push_back(line);
    if (file_.is_open()) file_ << line << '\n' << std::flush;
}

}  // namespace qv::sim
