#include "image/ProgramFile.h"

#include <algorithm>
#include <cstdio>

#include "common/HexFormat.h"
#include "image/ProgramFileCheck.h"

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
        return {ProgramFileOutcome::NoName, {}, {}};
    }
    RememberProgramFile(file);
    ProgramFileRead read = ReadProgramFileOnce(file.ProgramFileName);
    file.ProgramFileReady = !read.problem;
    if (read.problem) {
        FillProgramImage(file.ProgramImage, 0xFF);
        file.ProgramImage.LoadedLength = 0;
        return {ProgramFileOutcome::Refused, ChecksumText(0), *read.problem};
    }
    file.ProgramImage = std::move(read.content.image);
    return {ProgramFileOutcome::Loaded, ChecksumText(read.content.sum), {}};
}

}  // namespace qv
