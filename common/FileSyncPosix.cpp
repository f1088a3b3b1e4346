#include <fcntl.h>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FileSync.h"

namespace qv {

std::FILE* CreateExclusively(const std::filesystem::path& path) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0) return nullptr;
    std::FILE* file = ::fdopen(descriptor, "wb");
    if (file == nullptr) ::close(descriptor);
    return file;
}

bool SyncToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

bool IsStandardOutputFile(const std::filesystem::path& path) {
    struct stat file {}, output {};
    return ::stat(path.c_str(), &file) == 0 && ::fstat(STDOUT_FILENO, &output) == 0 &&
           file.st_dev == output.st_dev && file.st_ino == output.st_ino;
}

bool IsPipeWithoutReader(const std::filesystem::path& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0 || !S_ISFIFO(file.st_mode)) return false;
    // A write end opened without blocking fails with ENXIO exactly when there is no reader.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor >= 0) ::close(descriptor);
    return descriptor < 0 && errno == ENXIO;
}

}  // namespace qv
