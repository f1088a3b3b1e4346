#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace qv::sim {

// Where the simulated bus's trace goes: the lines a TracingHost writes (TraceFormat) for every
// transfer the simulated devices receive, into a file and, for tests that compare request
// sequences, into memory. Comment lines ('#') go to the file only.
class Trace {
public:
    // Writes the trace to a file (truncated), starting with the comment lines that name the
    // program, the simulated host and the date. False when the file cannot be created.
    bool WriteTo(const std::string& fileName, const std::string& program = "qvusb");
    // Keeps the transfer lines in memory as well.
    void KeepLines(bool keep) { keepLines_ = keep; }
    const std::vector<std::string>& Lines() const { return lines_; }
    void ClearLines() { lines_.clear(); }

    bool IsOn() const { return file_.is_open() || keepLines_; }
    // True once a line could not be written to the file (a full disk, a failing device).
    bool Failed() const { return file_.is_open() && !file_.good(); }
    void Write(const std::string& line);

private:
    std::ofstream file_;
    bool keepLines_ = false;
    std::vector<std::string> lines_;
};

}  // namespace qv::sim
