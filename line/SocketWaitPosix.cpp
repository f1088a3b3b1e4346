#include <poll.h>

#include "line/SocketWait.h"

namespace qv {

bool WaitReadable(int socket, int milliseconds) {
    pollfd watched{socket, POLLIN, 0};
    return ::poll(&watched, 1, milliseconds) != 0;
}

}  // namespace qv
