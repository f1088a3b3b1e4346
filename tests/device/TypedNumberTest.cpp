// Conversion of typed numbers and its error text.
#include <gtest/gtest.h>

#include "common/TypedNumber.h"

namespace {

TEST(TypedNumber, HexadecimalFieldsTakeDigitsOfEitherCaseWithin32Bits) {
    EXPECT_EQ(qv::HexFieldToInt("a4"), 0xA4);
    EXPECT_EQ(qv::HexFieldToInt("F82D"), 0xF82D);
    EXPECT_EQ(qv::HexFieldToInt("00000000000000ff"), 0xFF);
    EXPECT_EQ(static_cast<std::uint32_t>(qv::HexFieldToInt("FFFFFFFF")), 0xFFFFFFFFu);
}

TEST(TypedNumber, AnythingElseRaisesTheErrorWithThePrefixedText) {
    for (const char* text : {"", " 12", "12 ", "-1", "+1", "0x12", "G", "100000000", "1.5"}) {
        try {
            qv::HexFieldToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const qv::ConversionError& error) {
            EXPECT_EQ(error.what(), "'0x" + std::string(text) + "' is not a valid integer value");
        }
    }
}

TEST(TypedNumber, DecimalTextWithinTheSigned32BitRange) {
    EXPECT_EQ(qv::StrToInt("2040"), 2040);
    EXPECT_EQ(qv::StrToInt("-8"), -8);
    EXPECT_EQ(qv::StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(qv::StrToInt("-2147483648"), INT32_MIN);
    for (const char* text : {"", "-", "2147483648", "12a", " 1", "+4", "99999999999999999999"}) {
        EXPECT_THROW(qv::StrToInt(text), qv::ConversionError) << text;
    }
}

}  // namespace
