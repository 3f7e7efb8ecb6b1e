// Console services on POSIX: isatty, SIGINT/SIGTERM caught into a flag, poll() on standard input.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/console.h"
#include "platform/platform.h"

namespace platform {
namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void OnInterrupt(int sig) {
    g_interrupted.store(true);
    // The next one ends the process, in case the clean stop itself is stuck.
    ::signal(sig, SIG_DFL);
}

}  // namespace

bool IsTerminal(StdStream stream) {
    int fd = stream == StdStream::Input ? 0 : stream == StdStream::Output ? 1 : 2;
    return ::isatty(fd) == 1;
}

void CatchInterrupt() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    ::sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

bool InterruptRequested() {
    return g_interrupted.load();
}

void SetBinaryStandardStreams() {}

InputStatus ReadStandardInput(void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs) {
    *got = 0;
    pollfd p{0, POLLIN, 0};
    int r = ::poll(&p, 1, timeoutMs);
    if (r == 0 || (r < 0 && errno == EINTR))
        return InputStatus::NoData;
    if (r < 0) {
        SetLastError(errno);
        return InputStatus::Error;
    }
    ssize_t n = ::read(0, buffer, size);
    if (n > 0) {
        *got = static_cast<std::uint32_t>(n);
        return InputStatus::Data;
    }
    if (n == 0)
        return InputStatus::End;
    if (errno == EINTR || errno == EAGAIN)
        return InputStatus::NoData;
    SetLastError(errno);
    return InputStatus::Error;
}

}  // namespace platform
