#include "settings/IspSetting.h"

#include <cstddef>

namespace qv {

namespace {
// Bits 0-6 are the steps in the order of kAutoStepNames.
constexpr std::uint8_t kWholeFlash = 1 << 7;

constexpr std::uint8_t StepBit(std::size_t index) { return static_cast<std::uint8_t>(1u << index); }
}  // namespace

IspOptions DesignIspOptions() { return {}; }

IspOptions DefaultIspOptions() {
    IspOptions options;
    options.steps.protect = false;
    options.startText = "64";
    options.sizeText = "64";
    return options;
}

std::uint8_t IspFlags(const IspOptions& o) {
    std::uint8_t flags = 0;
    for (std::size_t i = 0; i < kAutoStepNames.size(); ++i)
        if (o.steps.*kAutoStepNames[i].step) flags |= StepBit(i);
    if (o.wholeFlash) flags |= kWholeFlash;
    return flags;
}

std::uint32_t PackIspSetting(const IspOptions& options, std::int32_t startKb, std::int32_t sizeKb) {
    // Unsigned arithmetic wraps as the 32-bit computation does, also for negative texts.
    const auto startUnits = static_cast<std::uint32_t>(startKb / 8);
    const auto sizeUnits = static_cast<std::uint32_t>(sizeKb / 8);
    return ((startUnits * 256u + sizeUnits) * 256u) | IspFlags(options);
}

IspOptions UnpackIspSetting(std::uint32_t setting) {
    IspOptions options;
    for (std::size_t i = 0; i < kAutoStepNames.size(); ++i)
        options.steps.*kAutoStepNames[i].step = setting & StepBit(i);
    options.wholeFlash = setting & kWholeFlash;
    options.sizeText = std::to_string(((setting >> 8) & 0xFF) * 8);
    options.startText = std::to_string(((setting >> 16) & 0xFF) * 8);
    return options;
}

}  // namespace qv
