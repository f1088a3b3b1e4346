#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device/host/DriverCall.h"

namespace qv {

// One transfer line of a trace (TraceFormat), as recorded.
struct RecordedTransfer {
    bool probe = false;  // the audio driver's property-set question ("K PROBE")
    Carrier carrier = Carrier::DirectUsb;
    ControlSetup setup;
    bool ok = false;
    std::vector<std::uint8_t> data;  // sent for OUT, returned for IN
    std::size_t lineNumber = 0;      // in the file, counting from 1, comment lines included
    std::string text;                // the line as written
};

// A trace read back: its "# key: value" comment lines and its transfers in order.
struct TraceFile {
    std::map<std::string, std::string> comments;  // the first value of each key
    std::vector<RecordedTransfer> transfers;
};

// Parses one transfer line; no value when it is not one.
std::optional<RecordedTransfer> ParseTransferLine(const std::string& text);

// Reads a trace file. Comment lines ('#') and blank lines are skipped, except that the
// "# key: value" ones are kept in comments. No value, with the reason in error, when the file
// cannot be read or a line is neither a comment nor a transfer.
std::optional<TraceFile> ReadTraceFile(const std::string& fileName, std::string& error);

}  // namespace qv
