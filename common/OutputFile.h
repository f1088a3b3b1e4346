#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace qv {

// Every file the tool writes whole (read-back dumps, new firmware images, the simulated flash
// and its status) goes through here, by the same rules:
// - a regular file, or a name where there is none yet, is written to a new temporary file
//   beside it (created exclusively), synced to the disk and renamed over the target only when
//   the whole write succeeded, so a failed write leaves the old file (or no file) as it was; an
//   existing file keeps its permissions;
// - a symbolic link is followed: its target is replaced so, in the target's folder;
// - a device node, FIFO or socket (/dev/stdout, a printer, a pipe) is written in place, never
//   replaced by a regular file; "-" is standard output.
// Returns why the write failed (the system's reason), nothing when it succeeded.
[[nodiscard]] std::optional<std::string> WriteOutput(const std::filesystem::path& path,
                                                     std::span<const std::uint8_t> bytes);

// Why the tool cannot write `path`, checked before long work whose result goes there: a
// folder, a read-only file, a folder that does not exist or takes no new file, a pipe that no
// program reads (writing would block). Nothing when it can (standard output and other special
// files are written in place).
[[nodiscard]] std::optional<std::string> OutputProblem(const std::filesystem::path& path);

// Whether writing `path` writes the process's standard output ("-", /dev/stdout or what it
// points to): the tool's own messages must then go elsewhere.
bool IsStandardOutput(const std::filesystem::path& path);

}  // namespace qv
