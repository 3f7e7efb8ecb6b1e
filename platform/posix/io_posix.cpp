// POSIX device and file I/O: non-blocking descriptors driven by poll(), so that every wait can be
// bounded while reads and writes still behave as synchronous calls.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/platform.h"
#include "platform/posix/port_timeouts.h"
#include "platform/posix/wait_ready.h"

namespace platform {
namespace {

thread_local int t_lastError = 0;

bool Fail() {
    t_lastError = errno;
    return false;
}

}  // namespace

int LastError() {
    return t_lastError;
}
void SetLastError(int code) {
    t_lastError = code;
}

Handle OpenDevice(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return kInvalidHandle;
    }
    // No sharing: a second opener of the same device, in this or another process, is refused.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        t_lastError = err;
        return kInvalidHandle;
    }
    return fd;
}

Handle OpenFileForReading(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return kInvalidHandle;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        t_lastError = EISDIR;
        return kInvalidHandle;
    }
    return fd;
}

std::int64_t FileSize(Handle h) {
    struct stat st {};
    if (::fstat(static_cast<int>(h), &st) != 0) {
        Fail();
        return -1;
    }
    return st.st_size;
}

bool Read(Handle h, void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs) {
    *got = 0;
    int fd = static_cast<int>(h);
    if (timeoutMs == kWaitForever) {
        // A port whose time-outs were set reads as the port is set up to.
        if (auto t = posix::PortTimeouts(fd))
            return posix::ReadWithTimeouts(fd, static_cast<unsigned char*>(buffer), size, got, *t);
    }
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            *got = static_cast<std::uint32_t>(n);
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Fail();
        int r = posix::WaitReady(fd, POLLIN, timeoutMs);
        if (r < 0)
            return Fail();
        if (r == 0)
            return true;
    }
}

bool Write(Handle h, const void* data, std::uint32_t size, std::uint32_t* written, int timeoutMs) {
    *written = 0;
    int fd = static_cast<int>(h);
    if (size == 0)
        return true;
    if (timeoutMs == kWaitForever) {
        if (auto t = posix::PortTimeouts(fd))
            return posix::WriteWithTimeouts(fd, static_cast<const unsigned char*>(data), size,
                                            written, *t);
    }
    for (;;) {
        ssize_t n = ::write(fd, data, size);
        if (n >= 0) {
            *written = static_cast<std::uint32_t>(n);
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Fail();
        int r = posix::WaitReady(fd, POLLOUT, timeoutMs);
        if (r < 0)
            return Fail();
        if (r == 0)
            return true;
    }
}

void Close(Handle h) {
    if (h == kInvalidHandle)
        return;
    posix::ForgetPortTimeouts(static_cast<int>(h));
    ::close(static_cast<int>(h));
}

}  // namespace platform
