#pragma once

#include <array>
#include <cstdint>

// What the register tables keep for the window's whole run: the last value the Register page
// read from or wrote to each chip register, the same for the registers of whichever I2C slave
// was addressed (not cleared when the address changes), and the slave address that the I2C
// page and the Special I2C group share.
struct ChipAccessState {
    std::array<std::uint8_t, 256> RegisterShadow{};
    std::array<std::uint8_t, 256> I2CShadow{};
    // The 8-bit write form of the slave address.
    std::uint8_t SlaveAddress = 0x20;
};
