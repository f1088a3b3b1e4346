#pragma once

#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "device/host/DriverCall.h"

namespace qv::sim {

// One line per control transfer the simulated device receives:
//   <seq> <D|K> <OUT|IN> <type> <request> <value> <index> <length> <OK|FAIL> <data or ->
// and "<seq> K PROBE <OK|FAIL>" for the audio driver's property-set question.
class Trace {
public:
    // Writes the trace to a file (truncated). False when the file cannot be created.
    bool WriteTo(const std::string& fileName);
    // Keeps the lines in memory as well, for tests that compare request sequences.
    void KeepLines(bool keep) { keepLines_ = keep; }
    const std::vector<std::string>& Lines() const { return lines_; }
    void ClearLines() { lines_.clear(); }

    bool IsOn() const { return file_.is_open() || keepLines_; }
    void Transfer(Carrier carrier, const ControlSetup& setup, bool ok,
                  std::span<const std::uint8_t> data);
    void SupportQuery(bool ok);

    static std::string FormatTransfer(std::uint64_t seq, Carrier carrier, const ControlSetup& setup,
                                      bool ok, std::span<const std::uint8_t> data);

private:
    void Write(const std::string& line);

    std::ofstream file_;
    bool keepLines_ = false;
    std::vector<std::string> lines_;
    std::uint64_t seq_ = 0;
};

}  // namespace qv::sim
