#include <windows.h>

#include "line/SqliteFileName.h"

namespace qv {

// ANSI code page to UTF-16 to UTF-8; a name that does not convert is passed on as it is, and
// SQLite then says it cannot open it.
std::string SqliteFileName(const std::string& path) {
    const int size = static_cast<int>(path.size());
    const int wideSize = MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0);
    if (wideSize <= 0) return path;
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), size, wide.data(), wideSize);
    const int utf8Size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    if (utf8Size <= 0) return path;
    std::string utf8(static_cast<std::size_t>(utf8Size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, utf8.data(), utf8Size, nullptr, nullptr);
    return utf8;
}

}  // namespace qv
