#pragma once

#include <string>
#include <string_view>

namespace qv {

// Text as typed (UTF-8) in the 8-bit Windows code page the firmware stores (Windows-1252):
// one byte per character. Characters the code page lacks, and bytes that are not UTF-8,
// become '?'.
std::string ToCodePage(std::string_view utf8);

}  // namespace qv
