// Loading program files of hexadecimal records, with the quirks of the record reader.
#include <gtest/gtest.h>

#include <string>

#include "image/ImageLoaders.h"
#include "tests/support/TempDir.h"

namespace {

class HexFileLoader : public ::testing::Test {
protected:
    HexFileLoader() { qv::FillProgramImage(image, 0x00); }  // what an earlier load left

    qv::LoadResult Load(std::string_view text) {
        return qv::LoadHexFile(image, dir.Write("records.h00", text));
    }

    TempDir dir;
    qv::ImageBuffer image;
};

TEST_F(HexFileLoader, PlacesDataAtTheRecordAddressAndSumsTheGapsAsErasedBytes) {
    const auto result = Load("garbage before\n:02001000A1B2FF\n:00000001FF\n");
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(image.LoadedLength, 0x12u);
    EXPECT_EQ(image.Bytes[0x0F], 0xFF);
    EXPECT_EQ(image.Bytes[0x10], 0xA1);
    EXPECT_EQ(image.Bytes[0x11], 0xB2);
    EXPECT_EQ(image.Bytes[0x12], 0xFF);
    EXPECT_EQ(result.sum, static_cast<std::uint16_t>(0xA1 + 0xB2 + 16 * 0xFF));
}

TEST_F(HexFileLoader, RecordsOutOfOrderKeepTheHighestEnd) {
    Load(":0201000011229A\n:01000000337C\n:00000001FF\n");
    EXPECT_EQ(image.LoadedLength, 0x102u);
    EXPECT_EQ(image.Bytes[0x000], 0x33);
    EXPECT_EQ(image.Bytes[0x101], 0x22);
}

TEST_F(HexFileLoader, TheRecordTypeIsNotExaminedAndTheEndRecordEndsNothing) {
    // An extended-address record stores its own data and moves nothing; a record after the
    // end-of-file record still loads.
    Load(":020000040001F9\n:0100100041AE\n:00000001FF\n:0100200042BD\n");
    EXPECT_EQ(image.Bytes[0], 0x00);
    EXPECT_EQ(image.Bytes[1], 0x01);
    EXPECT_EQ(image.Bytes[0x10], 0x41);
    EXPECT_EQ(image.Bytes[0x20], 0x42);
    EXPECT_EQ(image.LoadedLength, 0x21u);
}

TEST_F(HexFileLoader, LowerCaseDigitsReadAndOtherCharactersCountAsZero) {
    Load(":03000000abcdG4zz\n");
    EXPECT_EQ(image.Bytes[0], 0xAB);
    EXPECT_EQ(image.Bytes[1], 0xCD);
    EXPECT_EQ(image.Bytes[2], 0x04);
}

TEST_F(HexFileLoader, ALineEndCutsAFieldAndCountsAsZeroTheSameForLfAndCrLf) {
    // The second data byte holds "A" and the line end; the checksum field then takes the
    // next line's ":0", so that record is lost.
    for (const char* lineEnd : {"\n", "\r\n"}) {
        qv::FillProgramImage(image, 0x00);
        const std::string text = std::string(":0200000041A") + lineEnd + ":0100100043BB" + lineEnd +
                                 ":0100200044" + lineEnd;
        const auto result = Load(text);
        EXPECT_EQ(image.Bytes[0], 0x41) << "line end " << (lineEnd[0] == '\r' ? "CR LF" : "LF");
        EXPECT_EQ(image.Bytes[1], 0xA0);
        EXPECT_EQ(image.Bytes[0x10], 0xFF);
        EXPECT_EQ(image.Bytes[0x20], 0x44);
        EXPECT_EQ(image.LoadedLength, 0x21u);
        EXPECT_EQ(result.sum, static_cast<std::uint16_t>(0x41 + 0xA0 + 0x44 + 30 * 0xFF));
    }
}

// A line end ends the field it stands in at once: at the start of a data field the byte is 0
// and the next field starts after the line end; in the address field the places left count as
// 0. A CR without an LF is no line end but a character counting as the digit 0.
TEST_F(HexFileLoader, OnlyLfAndCrLfEndAFieldEarly) {
    struct Case {
        const char* name;
        const char* lineEnd;
        std::uint8_t second;  // the data field that starts with the line end
        std::uint8_t third;
        std::uint8_t afterAddress;  // the data of a record with the line end in its address
    };
    const Case cases[] = {
        {"LF", "\n", 0x00, 0x56, 0xAB},
        {"CR LF", "\r\n", 0x00, 0x56, 0xAB},
        {"lone CR", "\r", 0x05, 0x66, 0xB0},
    };
    for (const Case& c : cases) {
        qv::FillProgramImage(image, 0x00);
        Load(std::string(":0300000041") + c.lineEnd + "56677\n:0110" + c.lineEnd + "00AB0000\n");
        EXPECT_EQ(image.Bytes[0], 0x41) << c.name;
        EXPECT_EQ(image.Bytes[1], c.second) << c.name;
        EXPECT_EQ(image.Bytes[2], c.third) << c.name;
        EXPECT_EQ(image.Bytes[0x1000], c.afterAddress) << c.name;
        EXPECT_EQ(image.LoadedLength, 0x1001u) << c.name;
    }
}

TEST_F(HexFileLoader, AnFFByteBetweenRecordsEndsTheReadingButNotInsideAField) {
    Load(
        ":01000000\xFF"
        "1FF\n\xFF:0100100043BB\n");
    EXPECT_EQ(image.Bytes[0], 0x01);
    EXPECT_EQ(image.Bytes[0x10], 0xFF);
    EXPECT_EQ(image.LoadedLength, 1u);
}

TEST_F(HexFileLoader, TheHighestRecordReachesPastTheSixteenBitAddresses) {
    std::string text = ":FFFFFF00";
    for (int i = 0; i < 255; ++i) text += "5A";
    Load(text + "00\n");
    EXPECT_EQ(image.LoadedLength, 0xFFFFu + 255);
    EXPECT_EQ(image.Bytes[0xFFFF], 0x5A);
    EXPECT_EQ(image.Bytes[0xFFFF + 254], 0x5A);
    EXPECT_EQ(image.Bytes[0xFFFF + 255], 0xFF);
}

}  // namespace
