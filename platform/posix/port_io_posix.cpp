// POSIX port time-outs: recorded per descriptor by SetCommTimeouts, honoured by Read and Write
// when they are called without a time-out of their own.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <unordered_map>

#include "platform/posix/port_timeouts.h"
#include "platform/posix/wait_ready.h"

namespace platform::posix {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kNoInterval = 0xFFFFFFFF;

std::mutex g_mutex;
std::unordered_map<int, SerialTimeouts> g_timeouts;
// Lets Read and Write skip the lookup while no port has time-outs (the common case).
std::atomic<int> g_count{0};

// Milliseconds left until `deadline`, never negative.
int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A total time-out in ms, kept within what poll() and the clock can take (about 24 days).
std::uint64_t TotalMs(std::uint32_t multiplier, std::uint32_t constant, std::uint32_t size) {
    return std::min<std::uint64_t>(std::uint64_t{multiplier} * size + constant, 0x7FFFFFFF);
}

}  // namespace

void RememberPortTimeouts(int fd, const SerialTimeouts& timeouts) {
    std::lock_guard lock(g_mutex);
    g_timeouts[fd] = timeouts;
    g_count.store(static_cast<int>(g_timeouts.size()));
}

void ForgetPortTimeouts(int fd) {
    if (g_count.load() == 0)
        return;
    std::lock_guard lock(g_mutex);
    g_timeouts.erase(fd);
    g_count.store(static_cast<int>(g_timeouts.size()));
}

std::optional<SerialTimeouts> PortTimeouts(int fd) {
    if (g_count.load() == 0)
        return std::nullopt;
    std::lock_guard lock(g_mutex);
    auto it = g_timeouts.find(fd);
    if (it == g_timeouts.end())
        return std::nullopt;
    return it->second;
}

bool ReadWithTimeouts(int fd, unsigned char* buffer, std::uint32_t size, std::uint32_t* got,
                      const SerialTimeouts& t) {
    *got = 0;
    const bool atOnce =
        t.readInterval == kNoInterval && t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
    const std::uint64_t total = TotalMs(t.readTotalMultiplier, t.readTotalConstant, size);
    const bool useInterval = t.readInterval != 0 && t.readInterval != kNoInterval;
    // Interval and multiplier both 0xFFFFFFFF: return with the first bytes, or empty after the
    // constant.
    const bool firstBytes = t.readInterval == kNoInterval && t.readTotalMultiplier == kNoInterval;
    const std::uint64_t limit = firstBytes ? t.readTotalConstant : total;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit);
    while (*got < size) {
        ssize_t n = ::read(fd, buffer + *got, size - *got);
        if (n > 0) {
            *got += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n == 0)
            return true;  // end of file: what came so far
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            if (*got > 0)
                return true;  // keep what came; the next read reports the error
            SetLastError(errno);
            return false;
        }
        if (atOnce || (firstBytes && *got > 0))
            return true;
        int wait = limit > 0 ? MsLeft(deadline) : -1;
        if (limit > 0 && wait == 0)
            return true;
        if (useInterval && *got > 0 &&
            (wait < 0 || static_cast<std::uint32_t>(wait) > t.readInterval))
            wait = static_cast<int>(std::min<std::uint32_t>(t.readInterval, 0x7FFFFFFF));
        int r = WaitReady(fd, POLLIN, wait);
        if (r < 0) {
            SetLastError(errno);
            return *got > 0;
        }
        if (r == 0 && (useInterval && *got > 0))
            return true;  // the line went quiet after the first bytes
    }
    return true;
}

bool WriteWithTimeouts(int fd, const unsigned char* data, std::uint32_t size,
                       std::uint32_t* written, const SerialTimeouts& t) {
    *written = 0;
    const std::uint64_t total = TotalMs(t.writeTotalMultiplier, t.writeTotalConstant, size);
    const auto deadline = Clock::now() + std::chrono::milliseconds(total);
    while (*written < size) {
        ssize_t n = ::write(fd, data + *written, size - *written);
        if (n >= 0) {
            *written += static_cast<std::uint32_t>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            SetLastError(errno);
            return false;
        }
        int wait = total > 0 ? MsLeft(deadline) : -1;
        if (total > 0 && wait == 0)
            return true;  // gave up: *written tells how far it got
        if (WaitReady(fd, POLLOUT, wait) < 0) {
            SetLastError(errno);
            return false;
        }
    }
    return true;
}

}  // namespace platform::posix
