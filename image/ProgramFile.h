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
    NoName,       // empty ProgramFileName: show kProgramFileNotReadyText, nothing loaded
    Loaded,       // the file was read into ProgramImage
    NotOpened,    // the file could not be opened
    UnknownType,  // the name asks for no loader (see ImageFileKindOf)
};

struct ProgramFileReport {
    ProgramFileOutcome outcome = ProgramFileOutcome::NoName;
    // "Checksum : 0x" and the sum as four upper-case hexadecimal digits ("Checksum : 0x0000"
    // for a failed load); empty for NoName, where the shown checksum stays as it was.
    std::string checksumText;
};

// Appends ProgramFileName to FileHistory unless it is there already.
void RememberProgramFile(ProgramFile& file);

// Remembers ProgramFileName and loads it with the loader its name asks for. A load that fails
// (the file cannot be opened, or no loader fits the name) leaves an all-0xFF image with
// LoadedLength 0 and ProgramFileReady false, so nothing stale is programmed or verified as if
// it were the file.
ProgramFileReport ReadProgramFile(ProgramFile& file);

}  // namespace qv
