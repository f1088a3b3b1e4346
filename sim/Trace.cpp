#include "sim/Trace.h"

#include <cerrno>
#include <cstring>

#include "common/OutputFile.h"
#include "device/host/TraceFormat.h"

namespace qv::sim {

bool Trace::WriteTo(const std::string& fileName, const std::string& program,
                    const std::string& hostKind) {
    if (const auto problem = OutputProblem(fileName)) {
        problem_ = *problem;
        return false;
    }
    fileName_ = fileName;
    pending_ = TraceHeaderLines(program, hostKind);
    return true;
}

void Trace::Write(const std::string& line) {
    const bool comment = !line.empty() && line[0] == '#';
    if (keepLines_ && !comment) lines_.push_back(line);
    if (fileName_.empty() || failed_) return;
    if (!file_.is_open()) {
        if (comment) {
            pending_.push_back(line);
            return;
        }
        file_.open(fileName_, std::ios::out | std::ios::trunc);
        if (!file_.is_open()) {
            failed_ = true;
            problem_ = std::strerror(errno);
            return;
        }
        for (const std::string& waiting : pending_) file_ << waiting << '\n';
        pending_.clear();
    }
    file_ << line << '\n' << std::flush;
    if (!file_.good() && problem_.empty()) problem_ = std::strerror(errno);
}

}  // namespace qv::sim
