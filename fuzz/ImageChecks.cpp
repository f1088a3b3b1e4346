#include "fuzz/ImageChecks.h"

#include <cstring>

#include "fuzz/Require.h"

namespace qv::fuzz {

std::uint16_t SumOf(std::span<const std::uint8_t> bytes) {
    std::uint16_t sum = 0;
    for (const std::uint8_t byte : bytes) sum = static_cast<std::uint16_t>(sum + byte);
    return sum;
}

void RequireLoadedImage(const ImageBuffer& image, std::uint16_t sum) {
    Require(image.Bytes.size() == kProgramImageSize, "the image keeps its size");
    Require(image.LoadedLength <= kProgramImageSize, "the loaded length fits the image");
    // memcmp against an erased block checks the untouched rest quickly, which keeps the
    // fuzzer's rate up on a 768 KB image.
    static const std::vector<std::uint8_t> erased(kProgramImageSize, 0xFF);
    const std::size_t rest = kProgramImageSize - image.LoadedLength;
    Require(std::memcmp(image.Bytes.data() + image.LoadedLength, erased.data(), rest) == 0,
            "every byte past the loaded length reads 0xFF");
    Require(sum == SumOf(std::span(image.Bytes).first(image.LoadedLength)),
            "the reported sum is the sum of the loaded bytes");
}

void Dirty(ImageBuffer& image) {
    std::memset(image.Bytes.data(), 0x00, image.Bytes.size());
    image.LoadedLength = kProgramImageSize;
}

}  // namespace qv::fuzz
