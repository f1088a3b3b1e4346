#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/host/DriverCall.h"

namespace qv {

// The longest line a trace may hold, in bytes without its line end. A trace comes from outside
// (a file an operator was handed), so nothing of it is read unbounded.
inline constexpr std::size_t kMaxTraceLineLength = 64 * 1024;
// The most data one control transfer carries: its setup stage's 16-bit length.
inline constexpr std::uint32_t kMaxTransferLength = 0xFFFF;
// The most characters of a trace's text a message echoes (EchoedText).
inline constexpr std::size_t kMaxEchoedLength = 200;

// One transfer line of a trace (TraceFormat), as recorded.
struct RecordedTransfer {
    std::uint64_t seq = 0;  // the line's sequence number
    bool probe = false;     // the audio driver's property-set question ("K PROBE")
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

// Text taken from a trace, made fit to be shown in a message: every byte that is not printable
// ASCII (control characters, the escape that starts a terminal sequence, bytes above 0x7E) is
// written as \xNN, and the result is cut to kMaxEchoedLength characters, ending in "..." when
// cut. Only the start of a long text is looked at.
std::string EchoedText(std::string_view text);

// Parses one transfer line and checks its fields against each other: the direction agrees
// with bit 7 of the type, the audio carrier's type is 20 or A0, the length is one a control
// transfer carries, an OUT that succeeded carries exactly its length in data, an IN no more than
// its length, a FAIL line none. No value when it is not such a line; then `problem`, when given,
// says why (without echoing the line).
std::optional<RecordedTransfer> ParseTransferLine(const std::string& text,
                                                  std::string* problem = nullptr);

// Reads a trace from a stream; `name` starts each error. Comment lines ('#') and blank lines
// are skipped, except that the "# key: value" ones are kept in comments. No value, with the
// reason in error ("NAME:LINE: ..." with the line echoed by EchoedText), when a line is longer
// than kMaxTraceLineLength, is neither a comment nor a transfer line, has a sequence number
// other than the previous one's plus 1 (the first is 1), or is a "# device:" line whose path
// is not printable text; and when the stream fails before its end.
std::optional<TraceFile> ReadTrace(std::istream& in, const std::string& name, std::string& error);

// Reads a trace file as ReadTrace does. Anything but a regular file (a folder, a FIFO, a
// device) is refused before it is opened, so a replay never waits on a pipe or reads an
// endless device.
std::optional<TraceFile> ReadTraceFile(const std::string& fileName, std::string& error);

}  // namespace qv
