#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace qv {

// SHA-256 of a byte sequence (FIPS 180-4), as 64 lower-case hexadecimal digits: the
// fingerprint a production log keeps of each firmware file. Written here rather than taken
// from a crypto library so that the Windows build of the command line needs nothing more.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace qv
