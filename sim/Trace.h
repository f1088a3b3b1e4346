#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace qv::sim {

// Where a trace goes: the lines a TracingHost writes (TraceFormat) for every transfer, into a
// file and, for tests that compare request sequences, into memory. Comment lines ('#') go to the
// file only. The file is created (truncated) only when the first transfer line comes, so a run
// refused before it sent anything leaves an existing file as it was.
class Trace {
public:
    // Names the file the trace goes to, the comment lines that name the program, the host and
    // the date first. False, with nothing created, when the file could not be written (a
    // folder, a read-only file, a folder that takes no new file).
    [[nodiscard]] bool WriteTo(const std::string& fileName, const std::string& program = "qvusb",
                               const std::string& hostKind = "sim");
    // Keeps the transfer lines in memory as well.
    void KeepLines(bool keep) { keepLines_ = keep; }
    const std::vector<std::string>& Lines() const { return lines_; }
    void ClearLines() { lines_.clear(); }

    bool IsOn() const { return !fileName_.empty() || keepLines_; }
    // True once a line could not be written to the file (it could not be created, a full disk,
    // a failing device).
    bool Failed() const { return failed_ || (file_.is_open() && !file_.good()); }
    // Why the file could not be named or written, in the system's words ("Permission denied",
    // "No space left on device"); empty while nothing failed.
    const std::string& Problem() const { return problem_; }
    void Write(const std::string& line);

private:
    std::string fileName_;
    std::vector<std::string> pending_;  // comment lines before the first transfer
    std::ofstream file_;
    bool failed_ = false;
    std::string problem_;
    bool keepLines_ = false;
    std::vector<std::string> lines_;
};

}  // namespace qv::sim
