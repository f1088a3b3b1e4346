#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <string_view>

// A fresh folder of the test's own under the system's temporary place, removed with everything
// in it when the object goes: two test runs on one machine never share a file.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        do {
            path_ =
                std::filesystem::temp_directory_path() / ("qv-test-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path Path(const std::string& name) const { return path_ / name; }

    // Writes `content` byte for byte and returns the file's path.
    std::filesystem::path Write(const std::string& name, std::string_view content) const {
        const auto path = Path(name);
        std::ofstream(path, std::ios::binary)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        return path;
    }
    std::filesystem::path Write(const std::string& name,
                                std::span<const std::uint8_t> bytes) const {
        return Write(name,
                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

private:
    std::filesystem::path path_;
};
