// The fixed-width hexadecimal conversion shared by the hex-record loader and typed byte boxes.
#include <gtest/gtest.h>

#include "common/HexText.h"

namespace {

TEST(HexTextToInt, ReadsExactlyLengthDigitsOfEitherCaseFirstMostSignificant) {
    EXPECT_EQ(qv::HexTextToInt("F82D", 4), 0xF82Du);
    EXPECT_EQ(qv::HexTextToInt("a0bF", 4), 0xA0BFu);
    EXPECT_EQ(qv::HexTextToInt("1234", 2), 0x12u);
    EXPECT_EQ(qv::HexTextToInt("FFFFFFFF", 8), 0xFFFFFFFFu);
}

TEST(HexTextToInt, AnyOtherCharacterAndAnyPlacePastTheTextCountAsZero) {
    EXPECT_EQ(qv::HexTextToInt("G4", 2), 0x04u);
    EXPECT_EQ(qv::HexTextToInt("0x", 2), 0x00u);
    EXPECT_EQ(qv::HexTextToInt(" 7", 2), 0x07u);
    EXPECT_EQ(qv::HexTextToInt("\n9", 2), 0x09u);
    EXPECT_EQ(qv::HexTextToInt("\xC1"
                               "1\xFF",
                               3),
              0x010u);
    EXPECT_EQ(qv::HexTextToInt("5", 2), 0x50u);
    EXPECT_EQ(qv::HexTextToInt("", 4), 0x0000u);
}

}  // namespace
