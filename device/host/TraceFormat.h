#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/host/DriverCall.h"

namespace qv {

// The trace's line format, one line per control transfer (fields separated by one blank,
// hexadecimal in upper case without prefix):
//   <seq> <D|K> <OUT|IN> <type> <request> <value> <index> <length> <OK|FAIL> <data or ->
// and "<seq> K PROBE <OK|FAIL>" for the audio driver's property-set question. Data is what
// the host sent for OUT and what the device returned for IN.
std::string FormatTransferLine(std::uint64_t seq, Carrier carrier, const ControlSetup& setup,
                               bool ok, std::span<const std::uint8_t> data);
std::string FormatProbeLine(std::uint64_t seq, bool ok);

// A trace file opens with comment lines ('#', skipped by readers), "# key: value":
//   # tool: <program> <version>      # host: <usb|windows|sim|replay>      # date: <UTC, ISO 8601>
// and "# device: <interface path>" before the first transfer on each device it opens.
std::vector<std::string> TraceHeaderLines(const std::string& program, const std::string& hostKind);
std::string FormatDeviceLine(const std::string& path);

}  // namespace qv
