// Finding the parameter table in an image.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TableImages.h"
#include "image/ParameterTable.h"

namespace {

using qv::FindParameterTable;

// An image as the loaders leave it: the content from offset 0, LoadedLength its size, 0xFF after.
qv::ImageBuffer Loaded(const std::string& content) {
    qv::ImageBuffer image;
    std::copy(content.begin(), content.end(), image.Bytes.begin());
    image.LoadedLength = static_cast<std::uint32_t>(content.size());
    return image;
}

std::optional<std::uint32_t> FoundWithMarker(const std::string& marker) {
    return FindParameterTable(
        Loaded(WithTableAt(Background(0x400), 0x100, marker + std::string(qv::kTableLength, 'x'))));
}

TEST(ParameterTableSearch, TheFirstTenMarkerCharactersDecideAndTheFirstMatchWins) {
    EXPECT_EQ(FoundWithMarker("QVUSB_Tabl"), 0x100u);
    EXPECT_EQ(FoundWithMarker("QVUSB_Table"), 0x100u);
    EXPECT_EQ(FoundWithMarker("QVUSB_Tab"), std::nullopt);

    // A partial marker just before does not hide the whole one behind it; of two, the first.
    const std::string two = WithTableAt(WithTableAt(Background(0x800), 0x500), 0x200);
    EXPECT_EQ(FindParameterTable(Loaded(WithTableAt(two, 0x1F7, "QVUSB_T"))), 0x200u);
}

TEST(ParameterTableSearch, ATableMustFitWhollyInsideTheLoadedLength) {
    const std::uint32_t size = 0x400;
    const std::uint32_t lastPlace = size - qv::kTableLength;
    EXPECT_EQ(FindParameterTable(Loaded(WithTableAt(Background(size), lastPlace))), lastPlace);

    // All but the table's last byte.
    qv::ImageBuffer shortByOne = Loaded(WithTableAt(Background(size), lastPlace));
    shortByOne.LoadedLength = size - 1;
    EXPECT_EQ(FindParameterTable(shortByOne), std::nullopt);

    // A marker cut off by the end, its remaining bytes in the buffer past the loaded length.
    qv::ImageBuffer cutMarker = Loaded(WithTableAt(Background(size), lastPlace));
    cutMarker.LoadedLength = lastPlace + 9;
    EXPECT_EQ(FindParameterTable(cutMarker), std::nullopt);

    EXPECT_EQ(FindParameterTable(Loaded("")), std::nullopt);
}

}  // namespace
