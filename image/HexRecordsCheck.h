#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv {

// Why a text of hexadecimal records cannot be flashed as it stands, naming the line: a line
// that is no record (":" and hexadecimal digit pairs), a record whose length disagrees with
// its count, whose checksum is wrong, or whose type the loader would misread (only data, 00,
// and the end record, 01, are taken), anything after the end record, or no end record at all
// (a file cut off). Nothing when every record is whole. The loader itself reads on through
// all of these, so a damaged file is refused here, before it is loaded.
[[nodiscard]] std::optional<std::string> HexRecordsProblem(std::string_view text);

}  // namespace qv
