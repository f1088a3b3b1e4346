#pragma once

namespace qv {

// Waits up to `milliseconds` for the socket (as libpq's PQsocket gives it) to have something to
// read or to be closed. False only when the time ran out: a wait that failed says true, so that
// the caller's read finds out why instead of waiting again. poll() on POSIX, WSAPoll() on
// Windows.
bool WaitReadable(int socket, int milliseconds);

}  // namespace qv
