// The option block's bit map and the byte images of identity texts and strings.
#include <gtest/gtest.h>

#include "chip/ParameterBlocks.h"

namespace {

using Bytes = std::array<std::uint8_t, 4>;

TEST(OptionBlock, StartsAsDocumentedAndEachSettingChangesOnlyItsOwnBits) {
    qv::OptionBlock block;
    EXPECT_EQ(block.bytes, (Bytes{0xA1, 0x00, 0x00, 0x00}));
    EXPECT_EQ(block.MclkFrequency(), 2);  // 512 Fs
    EXPECT_FALSE(block.Get(qv::OptionFlag::EepromPresent));
    block.SetMclkFrequency(3);
    EXPECT_EQ(block.bytes[0], 0xB1);
    block.SetMclkFrequency(0);
    EXPECT_EQ(block.bytes[0], 0x81);
    block.bytes[0] = 0xFF;
    block.SetMclkFrequency(1);
    EXPECT_EQ(block.bytes[0], 0xDF);
    block.bytes = {0xFF, 0xFF, 0xFF, 0xFF};  // a refresh writes back what it read
    block.Set(qv::OptionFlag::SpdifOutputOff, block.Get(qv::OptionFlag::SpdifOutputOff));
    block.Set(qv::OptionFlag::I2s32Bit, false);
    EXPECT_EQ(block.bytes, (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(IdentityBytes, FirstFourCharactersAsTypedThenZeros) {
    EXPECT_EQ(qv::IdentityBytes("6b9a0"), (Bytes{'6', 'b', '9', 'a'}));
    EXPECT_EQ(qv::IdentityBytes("F8"), (Bytes{'F', '8', 0, 0}));
    EXPECT_EQ(qv::IdentityBytes(""), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(qv::IdentityBytes("\xC3\xA9"
                                "abcd"),
              (Bytes{0xE9, 'a', 'b', 'c'}));  // é
}

TEST(StringImage, CharactersInTheWindowsCodePageWithQuestionMarksForTheRest) {
    // "Müller – Ω" and a byte that is not UTF-8
    const auto image = qv::StringImage("M\xC3\xBCller \xE2\x80\x93 \xCE\xA9\xFF");
    EXPECT_EQ(image, (std::vector<std::uint8_t>{11, 'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 0x96, ' ',
                                                '?', '?'}));
    EXPECT_EQ(qv::StringImage("\xE2\x82\xAC\xC2\x81"),  // euro sign, a C1 control
              (std::vector<std::uint8_t>{2, 0x80, '?'}));
}

}  // namespace
