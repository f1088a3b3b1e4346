#include "image/ProgramFile.h"

#include <algorithm>
#include <cstdio>

#include "common/HexFormat.h"
#include "image/ImageFileKind.h"
#include "image/ImageLoaders.h"

namespace qv {

static std::string ChecksumText(std::uint16_t sum) { return "Checksum : 0x" + Hex4(sum); }

static ProgramFileReport FailedLoad(ProgramFile& file, ProgramFileOutcome outcome) {
    FillProgramImage(file.ProgramImage, 0xFF);
    file.ProgramImage.LoadedLength = 0;
    file.ProgramFileReady = false;
    return {outcome, ChecksumText(0)};
}

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
    const std::filesystem::path path(file.ProgramFileName);
    LoadResult result;
    switch (ImageFileKindOf(file.ProgramFileName)) {
        case ImageFileKind::Binary:
            result = LoadBinFile(file.ProgramImage, path);
            break;
        case ImageFileKind::HexRecords:
            result = LoadHexFile(file.ProgramImage, path);
            break;
        case ImageFileKind::Unknown:
            return FailedLoad(file, ProgramFileOutcome::UnknownType);
    }
    if (!result.opened) return FailedLoad(file, ProgramFileOutcome::NotOpened);
    file.ProgramFileReady = true;
    return {ProgramFileOutcome::Loaded, ChecksumText(result.sum)};
}

}  // namespace qv
