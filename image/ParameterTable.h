#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "image/ImageBuffer.h"

namespace qv {

// The user-parameter table inside a firmware image. Offsets are from the marker's first byte:
// the marker, the USB vendor and product ID (16 bits each, high byte first) and five string
// fields of 32 bytes each, left-aligned and filled up with blanks, with neither length byte nor
// terminator.
inline constexpr std::string_view kTableMarker = "QVUSB_Table01";
inline constexpr std::uint32_t kVidOffset = 13;
inline constexpr std::uint32_t kPidOffset = 15;
inline constexpr std::uint32_t kStringsOffset = 17;
inline constexpr std::uint32_t kStringFieldLength = 32;
// Manufacturer, product name, serial number, play interface name, record interface name.
inline constexpr std::size_t kStringFieldCount = 5;
inline constexpr std::uint32_t kTableLength =
    kStringsOffset + kStringFieldLength * kStringFieldCount;

struct ParameterFields {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    // Each field's 32 bytes as stored, blank fill included, in table order.
    std::array<std::string, kStringFieldCount> strings;
};

// Where the table stands in bytes 0 to LoadedLength - 1: the first position from which at least
// the first 10 of the marker's first 12 characters match in a row (characters 11 and 12 are
// compared, but a mismatch there does not reject). Bytes at or past LoadedLength match nothing,
// so a marker cut off by the end of the image is not found. Nothing either when the first such
// position leaves no room for the whole table before LoadedLength (no later one could).
std::optional<std::uint32_t> FindParameterTable(const ImageBuffer& image);

// The fields of the table at `position`, which must lie wholly inside the image.
ParameterFields ReadParameterFields(const ImageBuffer& image, std::uint32_t position);

// String field `index` (0 to 4) of the table at `position`: the first 32 bytes of `text`,
// filled up with blanks.
void WriteParameterString(ImageBuffer& image, std::uint32_t position, std::size_t index,
                          std::string_view text);

// A 16-bit ID at `position` + `fieldOffset` (kVidOffset or kPidOffset), high byte first.
void WriteParameterId(ImageBuffer& image, std::uint32_t position, std::uint32_t fieldOffset,
                      std::uint16_t id);

}  // namespace qv
