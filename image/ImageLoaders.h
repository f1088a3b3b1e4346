#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>

#include "image/ImageBuffer.h"

namespace qv {

struct LoadResult {
    bool opened = false;    // false: the file could not be opened, and nothing was read
    std::uint16_t sum = 0;  // the 16-bit sum of the loaded bytes; 0 when not opened
    bool cut = false;       // the file holds more than the image takes
};

// Both loaders first fill the whole image with 0xFF. A file that cannot be opened leaves
// `LoadedLength` as it was. Each reads a file, or the bytes of one already read (a stream).

// Raw binary: the file's bytes from offset 0, cut at kProgramImageSize (`cut` tells).
// `LoadedLength` is the number of bytes taken.
LoadResult LoadBinFile(ImageBuffer& image, const std::filesystem::path& path);
LoadResult LoadBinStream(ImageBuffer& image, std::istream& in);

// Hexadecimal records (":" count, 16-bit address, type, data, checksum). Only the address field
// places data: the type and the record checksum are read and ignored, so no record changes
// where later records go, and an end-of-file record ends nothing. Non-hexadecimal characters
// count as the digit 0; a field cut short by a line end or the end of the file counts its
// missing places as 0; a 0xFF byte between records ends the reading. `LoadedLength` is the
// highest end (address + count) of any record, and the sum covers every byte below it,
// 0xFF gaps included.
LoadResult LoadHexFile(ImageBuffer& image, const std::filesystem::path& path);
LoadResult LoadHexStream(ImageBuffer& image, std::istream& in);

}  // namespace qv
