#include "sim/Trace.h"

#include "device/host/TraceFormat.h"

namespace qv::sim {

bool Trace::WriteTo(const std::string& fileName) {
    file_.open(fileName, std::ios::out | std::ios::trunc);
    return file_.is_open();
}

std::string Trace::FormatTransfer(std::uint64_t seq, Carrier carrier, const ControlSetup& setup,
                                  bool ok, std::span<const std::uint8_t> data) {
    return FormatTransferLine(seq, carrier, setup, ok, data);
}

void Trace::Transfer(Carrier carrier, const ControlSetup& setup, bool ok,
                     std::span<const std::uint8_t> data) {
    if (!IsOn()) return;
    Write(FormatTransfer(++seq_, carrier, setup, ok, data));
}

void Trace::SupportQuery(bool ok) {
    if (!IsOn()) return;
    Write(FormatProbeLine(++seq_, ok));
}

void Trace::Write(const std::string& line) {
    if (keepLines_) lines_.push_back(line);
    if (file_.is_open()) file_ << line << '\n' << std::flush;
}

}  // namespace qv::sim
