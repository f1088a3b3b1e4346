#include "image/RangeChoice.h"

#include "common/TypedNumber.h"

namespace qv {

// A count that does not fit in 32 bits (negative, or 4 GB and more) becomes 0xFFFFFFFF
// instead of wrapping to a small address, so the range check refuses it.
static std::uint32_t KilobytesToBytes(const std::string& text) {
    const std::int64_t bytes = std::int64_t{StrToInt(text)} * 1024;
    return bytes < 0 || bytes > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes);
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
