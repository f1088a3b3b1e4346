#pragma once

#include <string>

#include "image/ProgramFile.h"

namespace qv {

// The "Flash Access Range" choice. With the whole flash ("All"): RangeStart 0, RangeSize
// 0x8000. Otherwise the start and size texts are decimal KB counts, converted with StrToInt
// and multiplied by 1024; a negative count, or one of 4 GB or more, gives 0xFFFFFFFF, which no
// flash holds. A text that does not convert throws
// ConversionError: a bad start text leaves both values unchanged, a bad size text leaves
// RangeSize unchanged after RangeStart was already set.
void ApplyRangeChoice(ProgramFile& file, bool wholeFlash, const std::string& startText,
                      const std::string& sizeText);

}  // namespace qv
