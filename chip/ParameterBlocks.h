#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qv {

// One-bit audio output options of the option block.
enum class OptionFlag {
    I2s32Bit,          // byte 0 bit 0: I2S output length 32 bit (else 24 bit)
    Spdif32Bit,        // byte 0 bit 1: S/PDIF output length 32 bit (else 24 bit)
    I2sChannelSwap,    // byte 0 bit 2
    DsdChannelSwap,    // byte 0 bit 3
    I2sLeftJustified,  // byte 0 bit 6 (else standard I2S)
    DsdOutput,         // byte 0 bit 7: DSD input goes out as DSD (else DoP)
    MclkOutputOff,     // byte 1 bit 7
    I2sOutputOff,      // byte 1 bit 6
    SpdifOutputOff,    // byte 1 bit 5
    EepromPresent,     // byte 3 bit 7: set by the firmware in the block it returns
};

// The four bytes of audio output options the firmware keeps in its EEPROM, exactly as they
// travel through the mailbox: bits and bytes the tool does not use pass through unchanged.
struct OptionBlock {
    // I2S 32 bit, S/PDIF 24 bit, no swaps, MCLK 512 Fs, standard I2S, DSD output, all outputs
    // on, no EEPROM reported.
    std::array<std::uint8_t, 4> bytes{0xA1, 0x00, 0x00, 0x00};

    bool Get(OptionFlag flag) const;
    void Set(OptionFlag flag, bool on);
    // Byte 0 bits 4-5, the I2S MCLK output frequency: 0 = 128 Fs, 1 = 256 Fs, 2 = 512 Fs,
    // 3 = 1024 Fs. Only the low two bits of `index` are stored.
    int MclkFrequency() const;
    void SetMclkFrequency(int index);
};

inline constexpr std::size_t kIdentityLength = 4;
inline constexpr std::size_t kMaxStringCharacters = 31;

// The vendor or product ID block: the first four characters of the text as typed (a
// hexadecimal text such as "6b9a", kept as characters, case as typed, never converted to a
// number), followed by 0x00 up to four bytes.
std::array<std::uint8_t, kIdentityLength> IdentityBytes(std::string_view typed);

// A descriptor string's image: byte 0 the number of characters n, then the n characters, no
// terminator. The text is cut to 31 characters, so the image is at most 32 bytes.
std::vector<std::uint8_t> StringImage(std::string_view typed);

}  // namespace qv
