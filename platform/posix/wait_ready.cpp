// poll() for one descriptor, retried on EINTR without stretching the time limit.
#include "platform/posix/wait_ready.h"

#include <poll.h>

#include <cerrno>
#include <chrono>

namespace platform::posix {

int WaitReady(int fd, short events, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = timeoutMs;
        if (timeoutMs >= 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, wait);
        if (r > 0)
            return 1;
        if (r == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

}  // namespace platform::posix
