#include "image/ProgramFileCheck.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "image/HexRecordsCheck.h"
#include "image/ImageFileKind.h"
#include "image/ImageLoaders.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

// Reads the file or names the cause; `content` holds the bytes and the image loaded from them.
std::optional<std::string> Read(const std::string& name, ProgramFileContent& content) {
    std::error_code error;
    const fs::file_status status = fs::status(name, error);
    if (status.type() == fs::file_type::not_found) return "no such file";
    if (error) return "cannot be read (" + error.message() + ")";
    if (status.type() == fs::file_type::directory) return "is a folder, not a file";
    if (status.type() != fs::file_type::regular) return "is not a regular file";
    const ImageFileKind kind = ImageFileKindOf(name);
    if (kind == ImageFileKind::Unknown)
        return "the name asks for no loader (.bin or .h00 expected)";
    const std::uint64_t size = fs::file_size(name, error);
    if (error) return "cannot be read (" + error.message() + ")";
    const std::uint64_t limit =
        kind == ImageFileKind::Binary ? std::uint64_t{kProgramImageSize} : kMaxHexFileBytes;
    if (size > limit)
        return std::to_string(size) + " bytes, larger than the " +
               std::to_string(kProgramImageSize) + "-byte image" +
               (kind == ImageFileKind::Binary ? "" : " could need as hexadecimal records");
    std::ifstream in(name, std::ios::binary);
    if (!in) return "cannot be read (" + std::string(std::strerror(errno)) + ")";
    // At most one byte more than the limit, should the file have grown meanwhile.
    content.bytes.resize(static_cast<std::size_t>(limit) + 1);
    in.read(content.bytes.data(), static_cast<std::streamsize>(content.bytes.size()));
    if (in.bad()) return "cannot be read (" + std::string(std::strerror(errno)) + ")";
    content.bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (content.bytes.size() > limit) return "grew while it was read";
    if (kind == ImageFileKind::HexRecords)
        if (auto damaged = HexRecordsProblem(content.bytes)) return *damaged;
    std::istringstream bytes(content.bytes);
    const LoadResult load = kind == ImageFileKind::Binary ? LoadBinStream(content.image, bytes)
                                                          : LoadHexStream(content.image, bytes);
    content.sum = load.sum;
    if (content.image.LoadedLength == 0) return content.bytes.empty() ? "is empty" : "holds no data";
    return std::nullopt;
}

}  // namespace

ProgramFileRead ReadProgramFileOnce(const std::string& name) {
    ProgramFileRead read;
    if (auto cause = Read(name, read.content)) read.problem = name + ": " + *cause;
    return read;
}

std::optional<std::string> ProgramFileProblem(const std::string& name) {
    return ReadProgramFileOnce(name).problem;
}

}  // namespace qv
