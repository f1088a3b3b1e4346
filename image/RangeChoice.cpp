#include "image/RangeChoice.h"

#include "common/TypedNumber.h"

namespace qv {

static std::uint32_t KilobytesToBytes(const std::string& text) {
    return static_cast<std::uint32_t>(StrToInt(text)) * 1024u;
}

void ApplyRangeChoice(ProgramFile& file, bool wholeFlash, const std::string& startText,
                      const std::string& sizeText) {
    if (wholeFlash) {
        file.RangeStart = 0;
        file.RangeSize = 0x8000;
        return;
    }
    file.RangeStart = KilobytesToBytes(startText);
    file.RangeSize = KilobytesToBytes(sizeText);
}

}  // namespace qv
