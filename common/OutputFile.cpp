#include "common/OutputFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "common/FileSync.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

enum class TargetKind { StandardOutput, Missing, Regular, Special, Folder };

struct Target {
    TargetKind kind;
    fs::path path;  // with its links followed
};

Target Resolve(const fs::path& path) {
    if (path == "-") return {TargetKind::StandardOutput, path};
    std::error_code error;
    const fs::file_status status = fs::status(path, error);  // through links
    if (fs::is_directory(status)) return {TargetKind::Folder, path};
    if (fs::exists(status) && !fs::is_regular_file(status)) return {TargetKind::Special, path};
    // The file really written: links followed, also one that points to no file yet.
    fs::path real = path;
    for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(real, error)); ++depth) {
        const fs::path target = fs::read_symlink(real, error);
        if (error) break;
        real = target.is_absolute() ? target : real.parent_path() / target;
    }
    return {fs::exists(status) ? TargetKind::Regular : TargetKind::Missing, real};
}

// A name beside the target that no other writer, in this process or another, picks at once.
fs::path TemporaryBeside(const fs::path& path) {
    static std::atomic<unsigned> counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path temporary = path;
    temporary += ".tmp-" + std::to_string(stamp) + "-" + std::to_string(counter++);
    return temporary;
}

std::string Reason() { return std::strerror(errno); }

// All of bytes to an open stream, flushed: the reason when any of it did not go.
std::optional<std::string> WriteAll(std::FILE* file, std::span<const std::uint8_t> bytes) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fflush(file) != 0)
        return Reason();
    return std::nullopt;
}

std::optional<std::string> WriteInPlace(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) return Reason();
    auto failed = WriteAll(file, bytes);
    if (std::fclose(file) != 0 && !failed) failed = Reason();
    return failed;
}

bool ReadOnly(const fs::path& path) {
    std::error_code error;
    const auto permissions = fs::status(path, error).permissions();
    return (permissions & (fs::perms::owner_write | fs::perms::group_write |
                           fs::perms::others_write)) == fs::perms::none;
}

std::optional<std::string> ReplaceWhole(const Target& target, std::span<const std::uint8_t> bytes) {
    // Even where the user may replace it (its folder is writable, or root), a file made
    // read-only is not to be written over.
    if (target.kind == TargetKind::Regular && ReadOnly(target.path)) return "is read-only";
    const fs::path temporary = TemporaryBeside(target.path);
    std::FILE* file = CreateExclusively(temporary);
    if (file == nullptr) return Reason();
    auto failed = WriteAll(file, bytes);
    if (!failed && !SyncToDisk(file)) failed = Reason();
    if (std::fclose(file) != 0 && !failed) failed = Reason();
    std::error_code error;
    if (!failed && target.kind == TargetKind::Regular) {
        fs::permissions(temporary, fs::status(target.path, error).permissions(), error);
        if (error) failed = error.message();
    }
    if (!failed) {
        fs::rename(temporary, target.path, error);
        if (error) failed = error.message();
    }
    if (failed) fs::remove(temporary, error);
    return failed;
}

}  // namespace

std::optional<std::string> WriteOutput(const fs::path& path, std::span<const std::uint8_t> bytes) {
    const Target target = Resolve(path);
    switch (target.kind) {
        case TargetKind::StandardOutput:
            return WriteAll(stdout, bytes);
        case TargetKind::Special:
            return WriteInPlace(target.path, bytes);
        case TargetKind::Folder:
            return "is a folder";
        case TargetKind::Missing:
        case TargetKind::Regular:
            break;
    }
    return ReplaceWhole(target, bytes);
}

std::optional<std::string> OutputProblem(const fs::path& path) {
    const Target target = Resolve(path);
    std::error_code error;
    switch (target.kind) {
        case TargetKind::StandardOutput:
            return std::nullopt;
        case TargetKind::Special:
            if (IsPipeWithoutReader(target.path)) return "is a pipe that no program reads";
            return std::nullopt;
        case TargetKind::Folder:
            return "is a folder, not a file";
        case TargetKind::Regular:
            if (ReadOnly(target.path)) return "is read-only";
            break;
        case TargetKind::Missing:
            break;
    }
    const fs::path temporary = TemporaryBeside(target.path);
    std::FILE* file = CreateExclusively(temporary);
    if (file == nullptr) return Reason();
    std::fclose(file);
    fs::remove(temporary, error);
    return std::nullopt;
}

bool IsStandardOutput(const fs::path& path) { return path == "-" || IsStandardOutputFile(path); }

}  // namespace qv
