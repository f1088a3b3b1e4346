#include <fstream>

#include "image/ImageLoaders.h"

namespace qv {

// The file is read in chunks of this size; it divides the image size, so a long file fills the
// image exactly.
static constexpr std::uint32_t kChunkSize = 256;
static_assert(kProgramImageSize % kChunkSize == 0);

LoadResult LoadBinFile(ImageBuffer& image, const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        FillProgramImage(image, 0xFF);
        return {};
    }
    return LoadBinStream(image, in);
}

LoadResult LoadBinStream(ImageBuffer& image, std::istream& in) {
    FillProgramImage(image, 0xFF);
    image.LoadedLength = 0;
    while (image.LoadedLength < kProgramImageSize) {
        in.read(reinterpret_cast<char*>(image.Bytes.data() + image.LoadedLength), kChunkSize);
        const auto count = static_cast<std::uint32_t>(in.gcount());
        if (count == 0) break;
        image.LoadedLength += count;
    }
    const bool cut = in.peek() != std::char_traits<char>::eof();
    return {true, LoadedSum(image), cut};
}

}  // namespace qv
