#include "image/ProgramFileCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "image/ImageFileKind.h"

namespace qv {
namespace {

std::optional<std::string> Cause(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (status.type() == fs::file_type::not_found) return "no such file";
    if (error) return "cannot be read (" + error.message() + ")";
    if (status.type() == fs::file_type::directory) return "is a folder, not a file";
    if (status.type() != fs::file_type::regular) return "is not a regular file";
    if (ImageFileKindOf(name) == ImageFileKind::Unknown)
        return "the name asks for no loader (.bin or .h00 expected)";
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) return "cannot be read (" + std::string(std::strerror(errno)) + ")";
    std::fclose(file);
    ImageBuffer image;
    const ImageLoad load = LoadImageFile(image, name);
    if (load.outcome != ImageLoadOutcome::Loaded) return "cannot be read";
    if (load.cut) {
        const auto size = fs::file_size(name, error);
        return std::to_string(size) + " bytes, larger than the " +
               std::to_string(kProgramImageSize) + "-byte image";
    }
    if (image.LoadedLength == 0) return fs::file_size(name, error) == 0 ? "is empty" : "holds no data";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ProgramFileProblem(const std::string& name) {
    if (auto cause = Cause(name)) return name + ": " + *cause;
    return std::nullopt;
}

}  // namespace qv
