#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "image/ImageBuffer.h"

namespace qv {

// A hexadecimal-record file holds at most this much text: far more than any file of the
// 0xC0000-byte image needs (one-byte records with line ends take some 13 characters a byte).
inline constexpr std::uint64_t kMaxHexFileBytes = 16u << 20;

// A program file read once: the bytes as they lay on the disk, and the image loaded from
// those same bytes, so the checksum and any hash of the file describe what is programmed.
struct ProgramFileContent {
    std::string bytes;
    ImageBuffer image;
    std::uint16_t sum = 0;
};

// Reads and loads the file, or says why it cannot serve as a program file, as "NAME: cause":
// missing, unreadable, a folder or another kind of node, a name that asks for no loader,
// empty or holding no data, or larger than the image (a raw file over 786,432 bytes, a
// hexadecimal one over kMaxHexFileBytes; neither is read whole). The command line checks its
// files with it before it touches the device, so every command names the same mistake with
// the same words.
struct ProgramFileRead {
    std::optional<std::string> problem;
    ProgramFileContent content;
};
ProgramFileRead ReadProgramFileOnce(const std::string& name);

// Only the problem, when the content is not needed.
[[nodiscard]] std::optional<std::string> ProgramFileProblem(const std::string& name);

}  // namespace qv
