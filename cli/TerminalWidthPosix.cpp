#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/TerminalWidth.h"

namespace qv::cli {

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

}  // namespace qv::cli
