#include <fcntl.h>
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

}  // namespace qv
