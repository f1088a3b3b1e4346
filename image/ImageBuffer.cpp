#include "image/ImageBuffer.h"

#include <algorithm>

namespace qv {

void FillProgramImage(ImageBuffer& image, std::uint8_t value) {
    std::fill(image.Bytes.begin(), image.Bytes.end(), value);
}

std::uint16_t LoadedSum(const ImageBuffer& image) {
    std::uint16_t sum = 0;
    for (std::uint32_t i = 0; i < image.LoadedLength; ++i) {
        sum = static_cast<std::uint16_t>(sum + image.Bytes[i]);
    }
    return sum;
}

}  // namespace qv
