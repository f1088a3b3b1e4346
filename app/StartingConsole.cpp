#include "app/StartingConsole.h"

#ifdef _WIN32
#include <windows.h>

#include <QByteArray>
#include <cstdio>

namespace {

// A standard handle that goes nowhere: neither a console nor a redirection.
bool Unconnected(DWORD handle) { return GetFileType(GetStdHandle(handle)) == FILE_TYPE_UNKNOWN; }

}  // namespace

void UseStartingConsole() {
    const bool outFree = Unconnected(STD_OUTPUT_HANDLE);
    const bool errorFree = Unconnected(STD_ERROR_HANDLE);
    if ((outFree || errorFree) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (outFree) std::freopen("CONOUT$", "w", stdout);
        if (errorFree) std::freopen("CONOUT$", "w", stderr);
    }
    // Qt writes its messages to the debugger unless told that standard error is read.
    qputenv("QT_FORCE_STDERR_LOGGING", QByteArrayLiteral("1"));
}
#else
void UseStartingConsole() {}
#endif
