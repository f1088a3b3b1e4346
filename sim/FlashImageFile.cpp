#include "sim/FlashImageFile.h"

#include <fstream>
#include <string>
#include <vector>

#include "common/OutputFile.h"
#include "common/HexFormat.h"

namespace qv::sim {
namespace {

std::filesystem::path StatusFileOf(const std::filesystem::path& file) {
    std::filesystem::path status = file;
    status += ".status";
    return status;
}

// Sets the flash's stored status from the status file. True with nothing changed when there is
// no status file (an image written before the status was kept); false when it does not read.
bool LoadStatusFile(SimFlash& flash, const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return !error;
    std::ifstream in(file);
    std::string text;
    in >> text;
    if (text.size() != 2 || text.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
        return false;
    flash.SetStoredStatus(static_cast<std::uint8_t>(std::stoul(text, nullptr, 16)));
    return true;
}

}  // namespace

bool LoadFlashImage(SimFlash& flash, const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return !error && SaveFlashImage(flash, file);
    const auto size = std::filesystem::file_size(file, error);
    if (error || size != flash.Contents().size()) return false;
    std::vector<std::uint8_t> image(size);
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(size)))
        return false;
    return LoadStatusFile(flash, StatusFileOf(file)) && flash.SetContents(image);
}

bool SaveFlashImage(const SimFlash& flash, const std::filesystem::path& file) {
    const std::string status = Hex2(flash.StoredStatus()) + "\n";
    return !WriteOutput(file, flash.Contents()) &&
           !WriteOutput(StatusFileOf(file),
                        std::span(reinterpret_cast<const std::uint8_t*>(status.data()),
                                  status.size()));
}

}  // namespace qv::sim
