// Loads any byte sequence as a file of hexadecimal records and checks what the loader promises
// about the image it leaves.

#include <algorithm>
#include <cstdint>
#include <span>

#include "fuzz/ImageChecks.h"
#include "fuzz/Require.h"
#include "fuzz/TempFile.h"
#include "image/ImageLoaders.h"

namespace {

// A record's 16-bit address plus its count of at most 255 bytes: no record reaches further.
constexpr std::uint32_t kHighestRecordEnd = 0xFFFF + 0xFF;

// True when a ':' comes before the first 0xFF byte, which ends the reading.
bool StartsARecord(std::span<const std::uint8_t> input) {
    const auto stop = std::find(input.begin(), input.end(), std::uint8_t{0xFF});
    return std::find(input.begin(), stop, std::uint8_t{':'}) != stop;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using qv::fuzz::Require;
    static const qv::fuzz::ProcessTempFile file("image.hex");
    const std::span<const std::uint8_t> input(data, size);
    file.Write(input);

    static qv::ImageBuffer image;
    qv::fuzz::Dirty(image);
    const qv::LoadResult result = qv::LoadHexFile(image, file.Path());
    Require(result.opened, "an existing file opens");
    Require(image.LoadedLength <= kHighestRecordEnd, "no record reaches past 0xFFFF + 255");
    qv::fuzz::RequireLoadedImage(image, result.sum);
    Require(StartsARecord(input) || image.LoadedLength == 0,
            "a file without a record loads nothing");
    return 0;
}
