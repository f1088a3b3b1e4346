#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv::fuzz {

// A file of this process's own in the system's temporary directory, named with the process id
// so that parallel fuzzing processes never share one; removed when the object goes.
class ProcessTempFile {
public:
    // `name` ends the file name; its extension is what a loader chosen by name looks at.
    explicit ProcessTempFile(const std::string& name);
    ~ProcessTempFile();
    ProcessTempFile(const ProcessTempFile&) = delete;
    ProcessTempFile& operator=(const ProcessTempFile&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Creates or overwrites the file with exactly `bytes`; aborts when it cannot.
    void Write(std::span<const std::uint8_t> bytes) const;
    // The whole content, or nothing when there is no such file.
    std::optional<std::vector<std::uint8_t>> Read() const;
    void Remove() const;

private:
    std::filesystem::path path_;
};

}  // namespace qv::fuzz
