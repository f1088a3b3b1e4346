#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "device/QuorvexUsb.h"

namespace qv {

// Request types of every chip request: vendor type, recipient "other".
inline constexpr std::uint8_t kVendorOut = 0x43;
inline constexpr std::uint8_t kVendorIn = 0xC3;

inline constexpr std::uint8_t kBankSelectRegister = 0x00;
inline constexpr std::uint8_t kMailboxBank = 0x00;
inline constexpr std::uint8_t kIspBank = 0x0D;
inline constexpr std::uint8_t kI2cBank = 0x0E;

// One register of the bank register 0x00 selects, one vendor request each. A read that did not
// bring its byte leaves value unwritten. Neither opens nor closes the device.
Reply ReadRegister(QuorvexUsb& device, std::uint8_t address, std::uint8_t& value);
Reply WriteRegister(QuorvexUsb& device, std::uint8_t address, std::uint8_t value);
Reply SelectBank(QuorvexUsb& device, std::uint8_t bank);

// Register writes in order, stopping at the first that fails: its reply, else Done.
Reply WriteRegisters(QuorvexUsb& device,
                     std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> writes);

}  // namespace qv
