#pragma once

#include <filesystem>

#include "sim/SimFlash.h"

namespace qv::sim {

// Keeps a simulated flash in a raw image file of exactly the flash's size, so that its content
// survives from one run to the next.

// Fills the flash from the file. When the file does not exist it is created from the flash's
// present content. False, with the flash unchanged, when the file has another size than the
// flash or cannot be read or created.
bool LoadFlashImage(SimFlash& flash, const std::filesystem::path& file);

// Writes the whole flash to the file, creating or replacing it. False when it cannot be written.
bool SaveFlashImage(const SimFlash& flash, const std::filesystem::path& file);

}  // namespace qv::sim
