#pragma once

#include <cstdint>
#include <span>

#include "image/ImageBuffer.h"

namespace qv::fuzz {

// The 16-bit wrapping sum of `bytes`, counted here rather than by the code under test.
std::uint16_t SumOf(std::span<const std::uint8_t> bytes);

// Checks what every loader promises about the image it leaves: it is kProgramImageSize bytes,
// every byte at or past LoadedLength reads 0xFF, and `sum` is the sum of the loaded bytes.
void RequireLoadedImage(const ImageBuffer& image, std::uint16_t sum);

// Gives every byte and LoadedLength a value no load leaves, so a loader that skips its first
// fill is caught. Reusing one image this way also spares the fuzzer a fresh 768 KB allocation,
// with its page faults, on every run.
void Dirty(ImageBuffer& image);

}  // namespace qv::fuzz
