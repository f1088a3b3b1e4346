#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "image/ImageBuffer.h"

namespace qv {

enum class ImageFileKind { Binary, HexRecords, Unknown };

// The loader a file name asks for, by the first letter of a three-letter extension (the
// character three places before the end): "b" or "B" raw binary (".bin"), "h" or "H"
// hexadecimal records (".h00", ".hex"). A name shorter than three characters, or any other
// letter, asks for none.
ImageFileKind ImageFileKindOf(std::string_view name);

enum class ImageLoadOutcome {
    Loaded,
    UnknownType,  // the name asks for no loader
    NotOpened,    // the file could not be opened
};

struct ImageLoad {
    ImageLoadOutcome outcome = ImageLoadOutcome::NotOpened;
    std::uint16_t sum = 0;  // of the loaded bytes; 0 for a load that failed
    bool cut = false;       // the file holds more than the image takes
};

// Loads the file with the loader its name asks for; anything but a regular file is not
// opened. A load that fails leaves an empty image (LoadedLength 0, all 0xFF), so nothing stale
// is ever taken for the file.
ImageLoad LoadImageFile(ImageBuffer& image, const std::string& name);

}  // namespace qv
