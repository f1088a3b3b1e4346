#include "common/AtomicFile.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>

namespace qv {
namespace {

// A name beside the target that no other writer, in this process or another, picks at once.
std::filesystem::path TemporaryBeside(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::filesystem::path temporary = path;
    temporary += ".tmp-" + std::to_string(stamp) + "-" + std::to_string(counter++);
    return temporary;
}

bool WriteWhole(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    const std::filesystem::path temporary = TemporaryBeside(path);
    std::error_code error;
    if (WriteWhole(temporary, bytes)) {
        std::filesystem::rename(temporary, path, error);
        if (!error) return true;
    }
    std::filesystem::remove(temporary, error);
    return false;
}

bool CanCreateFileAt(const std::filesystem::path& path) {
    const std::filesystem::path temporary = TemporaryBeside(path);
    const bool created = std::ofstream(temporary, std::ios::binary).is_open();
    std::error_code error;
    std::filesystem::remove(temporary, error);
    return created;
}

}  // namespace qv
