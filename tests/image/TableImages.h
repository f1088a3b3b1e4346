#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Images for the parameter-table tests: a background that can never be taken for the marker,
// with whole tables or pieces of the marker placed into it.

inline constexpr std::string_view kMarker = "QVUSB_Table01";

// `size` bytes of odd values only: never a blank, so a field the editor fills stands out, and
// never the marker, whose "V" is even.
inline std::string Background(std::size_t size) {
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<char>((i * 38 + 1) & 0xFF);
    return image;
}

// A whole table as a firmware might ship it: VID 0102, PID 0304, and each string field holding
// the byte '0' + its index 32 times.
inline std::string OldTable() {
    std::string table(kMarker);
    table += std::string("\x01\x02\x03\x04", 4);
    for (char field = '0'; field < '5'; ++field) table += std::string(32, field);
    return table;
}

inline std::string WithTableAt(std::string image, std::size_t position,
                               std::string_view table = OldTable()) {
    return image.replace(position, table.size(), table);
}

inline std::uint16_t SumOf(std::string_view bytes) {
    std::uint16_t sum = 0;
    for (const char c : bytes) sum = static_cast<std::uint16_t>(sum + static_cast<std::uint8_t>(c));
    return sum;
}
