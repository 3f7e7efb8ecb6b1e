// POSIX TCP sockets: non-blocking descriptors driven by poll(), sends that never raise SIGPIPE, and
// host look-up through getaddrinfo (thread-safe).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/wait_ready.h"
#include "platform/socket.h"

namespace platform {
namespace {

bool Fail() {
    SetLastError(errno);
    return false;
}

}  // namespace

void StartSockets() {}

bool LookUpIPv4(const std::string& host, std::uint32_t* address) {
    in_addr dotted{};
    if (::inet_aton(host.c_str(), &dotted) != 0) {
        *address = dotted.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

Socket OpenTcpSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        Fail();
        return kInvalidSocket;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = 0;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        Fail();
        ::close(fd);
        return kInvalidSocket;
    }
    return fd;
}

bool BeginConnect(Socket s, std::uint32_t address, std::uint16_t port) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = address;
    for (;;) {
        if (::connect(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&remote),
                      sizeof remote) == 0)
            return true;
        if (errno == EINPROGRESS || errno == EALREADY)
            return true;
        if (errno != EINTR)
            return Fail();
    }
}

int FinishConnect(Socket s, int waitMs) {
    const int fd = static_cast<int>(s);
    int r = posix::WaitReady(fd, POLLOUT, waitMs);
    if (r < 0) {
        Fail();
        return -1;
    }
    if (r == 0)
        return 0;
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) {
        Fail();
        return -1;
    }
    if (error != 0) {
        SetLastError(error);
        return -1;
    }
    return 1;
}

bool BytesWaiting(Socket s, std::uint32_t* count) {
    *count = 0;
    int n = 0;
    if (::ioctl(static_cast<int>(s), FIONREAD, &n) != 0)
        return Fail();
    *count = n > 0 ? static_cast<std::uint32_t>(n) : 0;
    return true;
}

bool Receive(Socket s, void* buffer, std::uint32_t size, std::uint32_t* got) {
    *got = 0;
    for (;;) {
        ssize_t n = ::recv(static_cast<int>(s), buffer, size, MSG_DONTWAIT);
        if (n >= 0) {
            *got = static_cast<std::uint32_t>(n);
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return true;
        return Fail();
    }
}

bool SendSome(Socket s, const void* data, std::uint32_t size, std::uint32_t* sent, int waitMs) {
    *sent = 0;
    if (size == 0)
        return true;
    const int fd = static_cast<int>(s);
    for (;;) {
        // MSG_NOSIGNAL: a peer that has gone makes the call fail with EPIPE instead of killing
        // the process.
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            *sent = static_cast<std::uint32_t>(n);
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Fail();
        int r = posix::WaitReady(fd, POLLOUT, waitMs);
        if (r < 0)
            return Fail();
        if (r == 0)
            return true;
    }
}

void CloseSocket(Socket s) {
    if (s == kInvalidSocket)
        return;
    ::shutdown(static_cast<int>(s), SHUT_RDWR);
    ::close(static_cast<int>(s));
}

}  // namespace platform
