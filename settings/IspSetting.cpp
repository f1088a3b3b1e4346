#include "settings/IspSetting.h"

namespace qv {

namespace {
enum IspBit : std::uint8_t {
    kIspMode = 1 << 0,
    kProtect = 1 << 1,
    kReloadFile = 1 << 2,
    kErase = 1 << 3,
    kBlank = 1 << 4,
    kProgram = 1 << 5,
    kVerify = 1 << 6,
    kWholeFlash = 1 << 7,
};
}  // namespace

IspOptions DesignIspOptions() { return {}; }

IspOptions DefaultIspOptions() {
    IspOptions options;
    options.protect = false;
    options.startText = "64";
    options.sizeText = "64";
    return options;
}

std::uint8_t IspFlags(const IspOptions& o) {
    std::uint8_t flags = 0;
    if (o.ispMode) flags |= kIspMode;
    if (o.protect) flags |= kProtect;
    if (o.reloadFile) flags |= kReloadFile;
    if (o.erase) flags |= kErase;
    if (o.blank) flags |= kBlank;
    if (o.program) flags |= kProgram;
    if (o.verify) flags |= kVerify;
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
    options.ispMode = setting & kIspMode;
    options.protect = setting & kProtect;
    options.reloadFile = setting & kReloadFile;
    options.erase = setting & kErase;
    options.blank = setting & kBlank;
    options.program = setting & kProgram;
    options.verify = setting & kVerify;
    options.wholeFlash = setting & kWholeFlash;
    options.sizeText = std::to_string(((setting >> 8) & 0xFF) * 8);
    options.startText = std::to_string(((setting >> 16) & 0xFF) * 8);
    return options;
}

}  // namespace qv
