#pragma once

#include <filesystem>

#include "sim/SimFlash.h"

namespace qv::sim {

// Keeps a simulated flash in a raw image file of exactly the flash's size, so that its content
// survives from one run to the next. The status register's non-volatile bits (the block
// protection) are kept beside it in FILE.status, as two hexadecimal digits, so that a flash
// protected in one run is still protected in the next.

// Fills the flash from the file (and its status from the status file, when there is one). When
// the image file does not exist it is created from the flash's present content. False, with
// the flash unchanged, when the file has another size than the flash or cannot be read or
// created, or the status file does not hold two hexadecimal digits.
bool LoadFlashImage(SimFlash& flash, const std::filesystem::path& file);

// Writes the whole flash to the file and its status to the status file, each replaced only
// when the whole write succeeded. False when either cannot be written.
bool SaveFlashImage(const SimFlash& flash, const std::filesystem::path& file);

}  // namespace qv::sim
