#include "sim/Trace.h"

#include "device/host/TraceFormat.h"

namespace qv::sim {

bool Trace::WriteTo(const std::string& fileName, const std::string& program) {
    file_.open(fileName, std::ios::out | std::ios::trunc);
    if (!file_.is_open()) return false;
    for (const std::string& line : TraceHeaderLines(program, "sim")) file_ << line << '\n';
    file_ << std::flush;
    return true;
}

void Trace::Write(const std::string& line) {
    const bool comment = !line.empty() && line[0] == '#';
    if (keepLines_ && !comment) lines_.push_back(line);
    if (file_.is_open()) file_ << line << '\n' << std::flush;
}

}  // namespace qv::sim
