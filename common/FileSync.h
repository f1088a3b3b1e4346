#pragma once

#include <cstdio>
#include <filesystem>

namespace qv {

// The two file operations the output rules need that the standard library does not offer.
// Creates a new file for writing, failing (errno set) when the name exists already.
std::FILE* CreateExclusively(const std::filesystem::path& path);
// Has the system put what was written to the file on the disk; false (errno set) when it
// could not.
bool SyncToDisk(std::FILE* file);
// Whether the file at path is the one the process's standard output writes to.
bool IsStandardOutputFile(const std::filesystem::path& path);
// Whether path is a pipe that no program has open for reading: opening it to write would
// block until one does.
bool IsPipeWithoutReader(const std::filesystem::path& path);

}  // namespace qv
