#pragma once

#include <string_view>

namespace qv {

enum class ImageFileKind { Binary, HexRecords, Unknown };

// The loader a file name asks for, by the first letter of a three-letter extension (the
// character three places before the end): "b" or "B" raw binary (".bin"), "h" or "H"
// hexadecimal records (".h00", ".hex"). A name shorter than three characters, or any other
// letter, asks for none.
ImageFileKind ImageFileKindOf(std::string_view name);

}  // namespace qv
