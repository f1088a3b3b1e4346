#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "common/FileSync.h"

namespace qv {

std::FILE* CreateExclusively(const std::filesystem::path& path) {
    const int descriptor = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                    _S_IREAD | _S_IWRITE);
    if (descriptor < 0) return nullptr;
    std::FILE* file = ::_fdopen(descriptor, "wb");
    if (file == nullptr) ::_close(descriptor);
    return file;
}

bool SyncToDisk(std::FILE* file) { return ::_commit(::_fileno(file)) == 0; }

// Windows names standard output only "-".
bool IsStandardOutputFile(const std::filesystem::path&) { return false; }

// Named pipes on Windows live under \\.\pipe\ and are not taken as outputs here.
bool IsPipeWithoutReader(const std::filesystem::path&) { return false; }

}  // namespace qv
