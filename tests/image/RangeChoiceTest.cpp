// The flash access range chosen from the "All" button or the start and size texts.
#include <gtest/gtest.h>

#include "common/TypedNumber.h"
#include "image/RangeChoice.h"

namespace {

TEST(RangeChoice, TheWholeFlashIgnoresTheTextsAndAnAssignedRangeTakesDecimalKilobytes) {
    qv::ProgramFile file;
    qv::ApplyRangeChoice(file, false, "32", "1024");
    EXPECT_EQ(file.RangeStart, 0x8000u);
    EXPECT_EQ(file.RangeSize, 0x100000u);
    qv::ApplyRangeChoice(file, true, "not a number", "");
    EXPECT_EQ(file.RangeStart, 0u);
    EXPECT_EQ(file.RangeSize, 0x8000u);
}

TEST(RangeChoice, ABadTextRaisesTheConversionErrorAndStopsWhereItStands) {
    qv::ProgramFile file;
    qv::ApplyRangeChoice(file, false, "8", "16");
    try {
        qv::ApplyRangeChoice(file, false, "3 2", "64");
        FAIL() << "accepted a start text with a blank";
    } catch (const qv::ConversionError& error) {
        EXPECT_STREQ(error.what(), "'3 2' is not a valid integer value");
    }
    EXPECT_EQ(file.RangeStart, 8u * 1024);
    EXPECT_EQ(file.RangeSize, 16u * 1024);

    EXPECT_THROW(qv::ApplyRangeChoice(file, false, "64", ""), qv::ConversionError);
    EXPECT_EQ(file.RangeStart, 64u * 1024);
    EXPECT_EQ(file.RangeSize, 16u * 1024);
}

}  // namespace
