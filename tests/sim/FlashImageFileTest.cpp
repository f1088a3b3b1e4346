// Keeping the simulated flash in a file between runs.
#include <gtest/gtest.h>

#include <fstream>

#include "sim/DemoFirmware.h"
#include "sim/FlashImageFile.h"
#include "sim/SimChip.h"
#include "tests/support/TempDir.h"

namespace {

using namespace qv::sim;
namespace fs = std::filesystem;

class FlashImageFileTest : public ::testing::Test {
protected:
    TempDir folder;
    fs::path path = folder.Path("flash.bin");
    SimClock clock;
};

TEST_F(FlashImageFileTest, AMissingFileStartsFromTheDefaultAndKeepsChanges) {
    SimChip first{clock, UserDeviceIdentity()};
    ASSERT_TRUE(LoadFlashImage(first.Flash(), path));
    EXPECT_EQ(fs::file_size(path), DefaultFlashChip().sizeBytes);
    const auto demo = DemoFlashImage(DefaultFlashChip().sizeBytes);
    EXPECT_TRUE(std::equal(demo.begin(), demo.end(), first.Flash().Contents().begin()));

    std::vector<std::uint8_t> changed(DefaultFlashChip().sizeBytes, 0xFF);
    changed[0] = 0x12;
    changed.back() = 0x34;
    ASSERT_TRUE(first.Flash().SetContents(changed));
    ASSERT_TRUE(SaveFlashImage(first.Flash(), path));

    SimChip second{clock, UserDeviceIdentity()};
    ASSERT_TRUE(LoadFlashImage(second.Flash(), path));
    EXPECT_TRUE(std::equal(changed.begin(), changed.end(), second.Flash().Contents().begin()));
}

TEST_F(FlashImageFileTest, AFileOfAnotherSizeIsRefusedAndLeftAlone) {
    std::ofstream(path, std::ios::binary) << std::string(1000, '\0');
    SimChip chip{clock, UserDeviceIdentity()};
    EXPECT_FALSE(LoadFlashImage(chip.Flash(), path));
    EXPECT_EQ(fs::file_size(path), 1000u);
    const auto demo = DemoFlashImage(DefaultFlashChip().sizeBytes);
    EXPECT_TRUE(std::equal(demo.begin(), demo.end(), chip.Flash().Contents().begin()));

    SimChip smaller{clock, UserDeviceIdentity(), kFlashChips[1]};
    ASSERT_TRUE(SaveFlashImage(smaller.Flash(), path));
    EXPECT_FALSE(LoadFlashImage(chip.Flash(), path));  // a 512 KB image into a 1 MB flash
}

}  // namespace
