#include "chip/ParameterBlocks.h"

#include <algorithm>

#include "chip/CodePageText.h"

namespace qv {
namespace {

struct FlagPlace {
    std::size_t byte;
    std::uint8_t mask;
};

constexpr FlagPlace PlaceOf(OptionFlag flag) {
    switch (flag) {
        case OptionFlag::I2s32Bit:
            return {0, 0x01};
        case OptionFlag::Spdif32Bit:
            return {0, 0x02};
        case OptionFlag::I2sChannelSwap:
            return {0, 0x04};
        case OptionFlag::DsdChannelSwap:
            return {0, 0x08};
        case OptionFlag::I2sLeftJustified:
            return {0, 0x40};
        case OptionFlag::DsdOutput:
            return {0, 0x80};
        case OptionFlag::MclkOutputOff:
            return {1, 0x80};
        case OptionFlag::I2sOutputOff:
            return {1, 0x40};
        case OptionFlag::SpdifOutputOff:
            return {1, 0x20};
        case OptionFlag::EepromPresent:
            return {3, 0x80};
    }
    return {0, 0};
}

constexpr int kMclkShift = 4;
constexpr std::uint8_t kMclkMask = 0x30;

// The characters in the firmware's code page, at most `limit` of them.
std::string Characters(std::string_view typed, std::size_t limit) {
    std::string bytes = ToCodePage(typed);
    bytes.resize(std::min(bytes.size(), limit));
    return bytes;
}

}  // namespace

bool OptionBlock::Get(OptionFlag flag) const {
    const FlagPlace place = PlaceOf(flag);
    return (bytes[place.byte] & place.mask) != 0;
}

void OptionBlock::Set(OptionFlag flag, bool on) {
    const FlagPlace place = PlaceOf(flag);
    if (on)
        bytes[place.byte] |= place.mask;
    else
        bytes[place.byte] &= static_cast<std::uint8_t>(~place.mask);
}

int OptionBlock::MclkFrequency() const { return (bytes[0] & kMclkMask) >> kMclkShift; }

void OptionBlock::SetMclkFrequency(int index) {
    bytes[0] =
        static_cast<std::uint8_t>((bytes[0] & ~kMclkMask) | ((index << kMclkShift) & kMclkMask));
}

std::array<std::uint8_t, kIdentityLength> IdentityBytes(std::string_view typed) {
    std::array<std::uint8_t, kIdentityLength> block{};
    const std::string characters = Characters(typed, kIdentityLength);
    for (std::size_t i = 0; i < block.size() && i < characters.size(); ++i)
        block[i] = static_cast<std::uint8_t>(characters[i]);
    return block;
}

std::vector<std::uint8_t> StringImage(std::string_view typed) {
    const std::string characters = Characters(typed, kMaxStringCharacters);
    std::vector<std::uint8_t> image(characters.size() + 1);
    image[0] = static_cast<std::uint8_t>(characters.size());
    std::ranges::copy(characters, image.begin() + 1);
    return image;
}

}  // namespace qv
