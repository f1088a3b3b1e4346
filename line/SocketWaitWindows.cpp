#include <winsock2.h>

#include "line/SocketWait.h"

namespace qv {

// libpq hands out its SOCKET as an int; Windows' socket handles fit in one.
bool WaitReadable(int socket, int milliseconds) {
    WSAPOLLFD watched{static_cast<SOCKET>(socket), POLLRDNORM, 0};
    return ::WSAPoll(&watched, 1, milliseconds) != 0;
}

}  // namespace qv
