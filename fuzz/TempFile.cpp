#include "fuzz/TempFile.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "fuzz/Require.h"

namespace qv::fuzz {

ProcessTempFile::ProcessTempFile(const std::string& name)
    : path_(std::filesystem::temp_directory_path() /
            ("qv-fuzz-" + std::to_string(getpid()) + "-" + name)) {}

ProcessTempFile::~ProcessTempFile() { Remove(); }

void ProcessTempFile::Write(std::span<const std::uint8_t> bytes) const {
    // A new file rather than a truncated one: some file systems write a file truncated and
    // rewritten out to disk on close, which would slow every run down to the disk's pace.
    Remove();
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    Require(static_cast<bool>(out), "the temporary file could not be written");
}

std::optional<std::vector<std::uint8_t>> ProcessTempFile::Read() const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

void ProcessTempFile::Remove() const {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

}  // namespace qv::fuzz
