#include "image/ParameterTable.h"

#include <algorithm>

namespace qv {

namespace {

// Characters of the marker that are compared, and how many of them must match for a table.
constexpr std::uint32_t kComparedLength = 12;
constexpr std::uint32_t kDecidingLength = 10;

// How many of the marker's first 12 characters match the image from `position` on, up to the
// first mismatch or the end of the loaded bytes.
std::uint32_t MatchingMarkerLength(const ImageBuffer& image, std::uint32_t position) {
    std::uint32_t count = 0;
    while (count < kComparedLength && position + count < image.LoadedLength &&
           image.Bytes[position + count] == static_cast<std::uint8_t>(kTableMarker[count]))
        ++count;
    return count;
}

std::uint32_t StringFieldPosition(std::uint32_t position, std::size_t index) {
    return position + kStringsOffset + kStringFieldLength * static_cast<std::uint32_t>(index);
}

std::uint16_t ReadId(const ImageBuffer& image, std::uint32_t at) {
    return static_cast<std::uint16_t>((image.Bytes[at] << 8) | image.Bytes[at + 1]);
}

}  // namespace

std::optional<std::uint32_t> FindParameterTable(const ImageBuffer& image) {
    for (std::uint32_t i = 0; i < image.LoadedLength; ++i) {
        if (MatchingMarkerLength(image, i) < kDecidingLength) continue;
        if (image.LoadedLength - i < kTableLength) return std::nullopt;
        return i;
    }
    return std::nullopt;
}

ParameterFields ReadParameterFields(const ImageBuffer& image, std::uint32_t position) {
    ParameterFields fields;
    fields.vid = ReadId(image, position + kVidOffset);
    fields.pid = ReadId(image, position + kPidOffset);
    for (std::size_t i = 0; i < kStringFieldCount; ++i) {
        const auto first = image.Bytes.begin() + StringFieldPosition(position, i);
        fields.strings[i].assign(first, first + kStringFieldLength);
    }
    return fields;
}

void WriteParameterString(ImageBuffer& image, std::uint32_t position, std::size_t index,
                          std::string_view text) {
    const auto first = image.Bytes.begin() + StringFieldPosition(position, index);
    const std::size_t taken = std::min<std::size_t>(text.size(), kStringFieldLength);
    const auto filled = std::copy_n(text.begin(), taken, first);
    std::fill(filled, first + kStringFieldLength, ' ');
}

void WriteParameterId(ImageBuffer& image, std::uint32_t position, std::uint32_t fieldOffset,
                      std::uint16_t id) {
    image.Bytes[position + fieldOffset] = static_cast<std::uint8_t>(id >> 8);
    image.Bytes[position + fieldOffset + 1] = static_cast<std::uint8_t>(id & 0xFF);
}

}  // namespace qv
