// Identity and string blocks as the simulated firmware receives and stores them.
#include "SimDeviceTest.h"
#include "chip/ParameterRequests.h"

namespace {

using namespace params_test;

class ParameterWritesTest : public SimDeviceTest {};

TEST_F(ParameterWritesTest, IdentityTextsGoAsTypedCharacters) {
    static_cast<void>(qv::WriteIdentity(device, qv::IdentitySelector::VendorId, "6b9a"));
    EXPECT_EQ(Requests(), ParameterWrite(0x08, 0x00, {0x36, 0x62, 0x39, 0x61}));
    Restart();
    static_cast<void>(qv::WriteIdentity(device, qv::IdentitySelector::ProductId, "F82D"));
    EXPECT_EQ(Requests(), ParameterWrite(0x0A, 0x00, {0x46, 0x38, 0x32, 0x44}));
    EXPECT_EQ(chip->Mailbox().Eeprom().productId,
              (std::array<std::uint8_t, 4>{'F', '8', '2', 'D'}));
}

TEST_F(ParameterWritesTest, TwentyCharactersGoAsChunksOfEightEightAndFiveEachFollowedByAPause) {
    static_cast<void>(
        qv::WriteString(device, qv::StringSelector::Manufacturer, "ABCDEFGHIJKLMNOPQRST"));
    EXPECT_EQ(Requests(), Concatenated({
                              ParameterWrite(0x10, 0, {20, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}),
                              ParameterWrite(0x10, 1, {'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O'}),
                              ParameterWrite(0x10, 2, {'P', 'Q', 'R', 'S', 'T'}),
                          }));
    EXPECT_EQ(ElapsedMs(), 3u * (10 + 50));
    EXPECT_EQ(chip->Mailbox().Eeprom().StringText(1), "ABCDEFGHIJKLMNOPQRST");
}

TEST_F(ParameterWritesTest, EmptyStringIsOneChunkOfItsLengthByte) {
    static_cast<void>(qv::WriteString(device, qv::StringSelector::SerialNumber, ""));
    EXPECT_EQ(Requests(), ParameterWrite(0x18, 0, {0x00}));
    EXPECT_EQ(ElapsedMs(), 10u + 50u);
}

TEST_F(ParameterWritesTest, LongStringIsCutToThirtyOneCharactersInFourFullChunks) {
    std::string typed;
    for (int i = 0; i < 40; ++i) typed += "\xC3\xA9";  // é, two bytes in UTF-8, one on the chip
    static_cast<void>(qv::WriteString(device, qv::StringSelector::ModelName, typed));
    EXPECT_EQ(std::ranges::count(Requests(), Write(0x90, 0x10)), 4);
    EXPECT_EQ(std::ranges::count(Requests(), Write(0x9A, 0xE9)), 4);
    EXPECT_EQ(Requests()[1], Write(0x93, 31));
    EXPECT_EQ(chip->Mailbox().Eeprom().StringText(2), std::string(31, '\xE9'));
}

}  // namespace
