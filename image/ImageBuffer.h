#pragma once

#include <cstdint>
#include <vector>

namespace qv {

// Room for the largest program file: 768 KB.
inline constexpr std::uint32_t kProgramImageSize = 0xC0000;

// The bytes of a program file as they go into the flash, indexed by offset from the start of
// the file, and how many of them the last successful load defined. Bytes the file does not
// supply read as 0xFF, the erased-flash value. `Bytes` always holds kProgramImageSize bytes.
struct ImageBuffer {
    std::vector<std::uint8_t> Bytes = std::vector<std::uint8_t>(kProgramImageSize, 0xFF);
    std::uint32_t LoadedLength = 0;
};

// Sets all kProgramImageSize bytes to `value`; `LoadedLength` is left as it is.
void FillProgramImage(ImageBuffer& image, std::uint8_t value);

// The 16-bit sum (wrapping) of bytes 0 to LoadedLength - 1: the checksum shown to the user.
std::uint16_t LoadedSum(const ImageBuffer& image);

}  // namespace qv
