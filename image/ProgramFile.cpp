#include "image/ProgramFile.h"

#include <algorithm>
#include <cstdio>

#include "common/HexFormat.h"
#include "image/ImageFileKind.h"

namespace qv {

static std::string ChecksumText(std::uint16_t sum) { return "Checksum : 0x" + Hex4(sum); }

void RememberProgramFile(ProgramFile& file) {
    const auto& history = file.FileHistory;
    if (std::find(history.begin(), history.end(), file.ProgramFileName) == history.end()) {
        file.FileHistory.push_back(file.ProgramFileName);
    }
}

ProgramFileReport ReadProgramFile(ProgramFile& file) {
    if (file.ProgramFileName.empty()) {
        file.ProgramFileReady = false;
        return {ProgramFileOutcome::NoName, {}};
    }
    RememberProgramFile(file);
    const ImageLoad load = LoadImageFile(file.ProgramImage, file.ProgramFileName);
    file.ProgramFileReady = load.outcome == ImageLoadOutcome::Loaded;
    switch (load.outcome) {
        case ImageLoadOutcome::Loaded:
            return {ProgramFileOutcome::Loaded, ChecksumText(load.sum)};
        case ImageLoadOutcome::UnknownType:
            return {ProgramFileOutcome::UnknownType, ChecksumText(0)};
        case ImageLoadOutcome::NotOpened:
            break;
    }
    return {ProgramFileOutcome::NotOpened, ChecksumText(0)};
}

}  // namespace qv
