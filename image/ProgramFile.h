#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/ImageBuffer.h"

namespace qv {

// The box shown when a program file is needed and no name is known.
inline constexpr const char* kProgramFileNotReadyText = "Program File Not Ready !!    ";

// The program file of the ISP page and where it goes in the flash, owned by whoever programs
// (the window, or one qvusb run).
struct ProgramFile {
    ImageBuffer ProgramImage;
    // Full path, in the platform's narrow file-name encoding.
    std::string ProgramFileName;
    // True only after the last ReadProgramFile loaded ProgramFileName.
    bool ProgramFileReady = false;
    // The flash access range in bytes; image offset i goes to flash address RangeStart + i.
    std::uint32_t RangeStart = 0;
    std::uint32_t RangeSize = 0;
    // Names in the order they were first loaded, each once (case-sensitive comparison).
    std::vector<std::string> FileHistory;
};

enum class ProgramFileOutcome {
    NoName,   // empty ProgramFileName: show kProgramFileNotReadyText, nothing loaded
    Loaded,   // the file was read into ProgramImage
    Refused,  // the file cannot serve as a program file; `problem` says why
};

struct ProgramFileReport {
    ProgramFileOutcome outcome = ProgramFileOutcome::NoName;
    // "Checksum : 0x" and the sum as four upper-case hexadecimal digits ("Checksum : 0x0000"
    // for a refused file); empty for NoName, where the shown checksum stays as it was.
    std::string checksumText;
    // For a refused file, "NAME: cause" (see ReadProgramFileOnce).
    std::string problem;
};

// Appends ProgramFileName to FileHistory unless it is there already.
void RememberProgramFile(ProgramFile& file);

// Remembers ProgramFileName and loads it with the loader its name asks for. A file that cannot
// serve (missing, unreadable, no loader fits its name, empty or without data, larger than the
// image) is refused whole, never cut: it leaves an all-0xFF image with LoadedLength 0 and
// ProgramFileReady false, so nothing stale or partial is programmed or verified as the file.
ProgramFileReport ReadProgramFile(ProgramFile& file);

}  // namespace qv
