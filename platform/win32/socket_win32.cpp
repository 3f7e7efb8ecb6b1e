// Windows Sockets for the network printers: non-blocking sockets waited on with select(), the
// library started with version 2.2 on each network open, dotted addresses through inet_addr and
// host names through getaddrinfo.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/socket.h"

namespace platform {
namespace {

bool Fail() {
    SetLastError(::WSAGetLastError());
    return false;
}

SOCKET ToSocket(Socket s) {
    return static_cast<SOCKET>(s);
}

// Waits at most waitMs until the socket can be written to (or has failed). 1 ready, 0 timed out,
// -1 error; *failed is set when the socket reports an error (a refused connection).
int WaitWritable(SOCKET s, int waitMs, bool* failed) {
    fd_set writable, broken;
    FD_ZERO(&writable);
    FD_ZERO(&broken);
    FD_SET(s, &writable);
    FD_SET(s, &broken);
    timeval tv{waitMs / 1000, (waitMs % 1000) * 1000};
    int r = ::select(0, nullptr, &writable, &broken, waitMs < 0 ? nullptr : &tv);
    if (r == SOCKET_ERROR)
        return -1;
    *failed = FD_ISSET(s, &broken) != 0;
    return r > 0 ? 1 : 0;
}

}  // namespace

void StartSockets() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
}

bool LookUpIPv4(const std::string& host, std::uint32_t* address) {
    const unsigned long dotted = ::inet_addr(host.c_str());
    if (dotted != INADDR_NONE || host == "255.255.255.255") {
        *address = static_cast<std::uint32_t>(dotted);
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
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        Fail();
        return kInvalidSocket;
    }
    u_long nonBlocking = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = 0;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
        ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        Fail();
        ::closesocket(s);
        return kInvalidSocket;
    }
    return static_cast<Socket>(s);
}

bool BeginConnect(Socket s, std::uint32_t address, std::uint16_t port) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = address;
    if (::connect(ToSocket(s), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0)
        return true;
    const int err = ::WSAGetLastError();
    if (err == WSAEWOULDBLOCK || err == WSAEINPROGRESS || err == WSAEALREADY)
        return true;
    SetLastError(err);
    return false;
}

int FinishConnect(Socket s, int waitMs) {
    bool failed = false;
    int r = WaitWritable(ToSocket(s), waitMs, &failed);
    if (r < 0) {
        Fail();
        return -1;
    }
    if (r == 0)
        return 0;
    if (failed) {
        int error = 0;
        int len = sizeof error;
        ::getsockopt(ToSocket(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len);
        SetLastError(error != 0 ? error : WSAECONNREFUSED);
        return -1;
    }
    return 1;
}

bool BytesWaiting(Socket s, std::uint32_t* count) {
    *count = 0;
    u_long n = 0;
    if (::ioctlsocket(ToSocket(s), FIONREAD, &n) != 0)
        return Fail();
    *count = static_cast<std::uint32_t>(n);
    return true;
}

bool Receive(Socket s, void* buffer, std::uint32_t size, std::uint32_t* got) {
    *got = 0;
    const int cap = size > 0x7fffffffu ? 0x7fffffff : static_cast<int>(size);
    int n = ::recv(ToSocket(s), static_cast<char*>(buffer), cap, 0);
    if (n >= 0) {
        *got = static_cast<std::uint32_t>(n);
        return true;
    }
    if (::WSAGetLastError() == WSAEWOULDBLOCK)
        return true;
    return Fail();
}

bool SendSome(Socket s, const void* data, std::uint32_t size, std::uint32_t* sent, int waitMs) {
    *sent = 0;
    if (size == 0)
        return true;
    const int cap = size > 0x7fffffffu ? 0x7fffffff : static_cast<int>(size);
    for (;;) {
        int n = ::send(ToSocket(s), static_cast<const char*>(data), cap, 0);
        if (n >= 0) {
            *sent = static_cast<std::uint32_t>(n);
            return true;
        }
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            return Fail();
        bool failed = false;
        int r = WaitWritable(ToSocket(s), waitMs, &failed);
        if (r < 0)
            return Fail();
        if (r == 0)
            return true;
        // Writable (or failed): the next send tells which.
    }
}

void CloseSocket(Socket s) {
    if (s == kInvalidSocket)
        return;
    ::shutdown(ToSocket(s), SD_BOTH);
    ::closesocket(ToSocket(s));
}

}  // namespace platform
