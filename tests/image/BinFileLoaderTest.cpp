// Loading raw binary program files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "image/ImageLoaders.h"
#include "tests/support/TempDir.h"

namespace {

bool AllErasedFrom(const qv::ImageBuffer& image, std::uint32_t offset) {
    return std::all_of(image.Bytes.begin() + offset, image.Bytes.end(),
                       [](std::uint8_t byte) { return byte == 0xFF; });
}

class BinFileLoader : public ::testing::Test {
protected:
    BinFileLoader() { qv::FillProgramImage(image, 0x00); }  // what an earlier load left
    TempDir dir;
    qv::ImageBuffer image;
};

TEST_F(BinFileLoader, TakesTheFileBytesAndSumsThemOverAnErasedImage) {
    const auto result = qv::LoadBinFile(image, dir.Write("three.bin", "\x01\x02\x03"));
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.sum, 0x0006);
    EXPECT_EQ(image.LoadedLength, 3u);
    EXPECT_EQ(image.Bytes[2], 0x03);
    EXPECT_TRUE(AllErasedFrom(image, 3));
}

TEST_F(BinFileLoader, AnEmptyFileLoadsNothing) {
    image.LoadedLength = 77;
    const auto result = qv::LoadBinFile(image, dir.Write("empty.bin", ""));
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.sum, 0);
    EXPECT_EQ(image.LoadedLength, 0u);
    EXPECT_TRUE(AllErasedFrom(image, 0));
}

TEST_F(BinFileLoader, AFileLongerThanTheImageIsCutAtTheImageSize) {
    std::string content(1'000'000, '\0');
    std::uint16_t expectedSum = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 7 % 251);
        if (i < qv::kProgramImageSize) {
            expectedSum = static_cast<std::uint16_t>(expectedSum + i * 7 % 251);
        }
    }
    const auto result = qv::LoadBinFile(image, dir.Write("long.bin", content));
    EXPECT_EQ(image.LoadedLength, qv::kProgramImageSize);
    EXPECT_EQ(result.sum, expectedSum);
    EXPECT_EQ(image.Bytes.size(), qv::kProgramImageSize);
    EXPECT_EQ(image.Bytes.back(), static_cast<std::uint8_t>(content[qv::kProgramImageSize - 1]));
}

TEST_F(BinFileLoader, AFileThatCannotBeOpenedErasesTheImageAndKeepsTheLength) {
    image.LoadedLength = 1234;
    const auto result = qv::LoadBinFile(image, dir.Path("missing.bin"));
    EXPECT_FALSE(result.opened);
    EXPECT_EQ(result.sum, 0);
    EXPECT_EQ(image.LoadedLength, 1234u);
    EXPECT_TRUE(AllErasedFrom(image, 0));
}

}  // namespace
