#pragma once

#include <cstdint>
#include <string>

#include "isp/AutoSteps.h"

namespace qv {

// The ISP page's options as they are kept between runs in one 32-bit value:
// bits 0-6 the step boxes, bit 7 "All", bits 8-15 the size and 16-23 the start in 8 KB units.
struct IspOptions {
    AutoSteps steps;
    bool wholeFlash = true;  // "All" (rbnRange0) against the assigned range (rbnRange1)
    std::string startText = "32";
    std::string sizeText = "32";
};

// The options of a first run, before anything was stored: the design states of the controls.
IspOptions DesignIspOptions();
// The options used when the store holds no value for them.
IspOptions DefaultIspOptions();

// ((start / 8) * 256 + size / 8) * 256 with the flags ORed in, in 32 bits; the size part is
// added, not masked, so a size of 2048 KB or more carries into the start field.
std::uint32_t PackIspSetting(const IspOptions& options, std::int32_t startKb, std::int32_t sizeKb);
std::uint8_t IspFlags(const IspOptions& options);
// The edits come back as the decimal text of field * 8.
IspOptions UnpackIspSetting(std::uint32_t setting);

}  // namespace qv
