#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace qv {

// Replaces the file at `path` with `bytes`. They go to a temporary file in the same folder,
// which is renamed over the target only when the whole write succeeded, so a failed write
// leaves the old file (or no file) as it was. False when the file could not be written.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// True when a file can be created in the folder of `path`: checked before long work whose
// result goes there, so that the work is not done for nothing.
bool CanCreateFileAt(const std::filesystem::path& path);

}  // namespace qv
