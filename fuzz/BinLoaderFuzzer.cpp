// Loads any byte sequence as a raw binary file and checks that the image holds exactly the
// file's first bytes.

#include <algorithm>
#include <cstdint>
#include <span>

#include "fuzz/ImageChecks.h"
#include "fuzz/Require.h"
#include "fuzz/TempFile.h"
#include "image/ImageLoaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using qv::fuzz::Require;
    static const qv::fuzz::ProcessTempFile file("image.bin");
    file.Write(std::span(data, size));

    static qv::ImageBuffer image;
    qv::fuzz::Dirty(image);
    const qv::LoadResult result = qv::LoadBinFile(image, file.Path());
    Require(result.opened, "an existing file opens");
    Require(image.LoadedLength == std::min<std::size_t>(size, qv::kProgramImageSize),
            "the loaded length is the file's, cut at the image size");
    Require(std::equal(data, data + image.LoadedLength, image.Bytes.begin()),
            "the image holds the file's bytes from offset 0");
    qv::fuzz::RequireLoadedImage(image, result.sum);
    return 0;
}
