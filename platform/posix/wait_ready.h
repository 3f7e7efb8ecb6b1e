// Waiting for a descriptor to become readable or writable, with a time limit that holds across
// interrupted waits.
#pragma once

namespace platform::posix {

// Waits until `fd` is ready for `events` (POLLIN/POLLOUT), at most timeoutMs (-1: no limit).
// Returns 1 ready (or an error/hang-up that the next call reports), 0 timed out, -1 error (errno).
int WaitReady(int fd, short events, int timeoutMs);

}  // namespace platform::posix
