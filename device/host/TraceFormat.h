#pragma once

#include <cstdint>
#include <span>
#include <string>

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

}  // namespace qv
