// Loopback TCP listener for tests on Windows (Winsock), served by one thread that waits on all its
// sockets with select(). Socket values are kept in the header's int fields: Windows hands out
// small socket numbers, far below 2^31.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

#include "support/tcp_listener.h"

namespace {

SOCKET AsSocket(int fd) {
    return static_cast<SOCKET>(fd);
}

}  // namespace

TcpListener::TcpListener(std::string greeting, bool closeOnAccept)
    : m_greeting(std::move(greeting)), m_closeOnAccept(closeOnAccept) {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw std::runtime_error("no Winsock");
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof a;
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(s, 8) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("no loopback listener");
    m_listenFd = static_cast<int>(s);
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

TcpListener::~TcpListener() {
    m_stop = true;
    m_thread.join();
    ::closesocket(AsSocket(m_listenFd));
    for (auto& c : m_connections)
        if (c.fd >= 0)
            ::closesocket(AsSocket(c.fd));
    ::WSACleanup();
}

void TcpListener::Serve() {
    while (!m_stop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(AsSocket(m_listenFd), &readable);
        {
            std::lock_guard lock(m_mutex);
            for (const auto& c : m_connections)
                if (!c.closed && c.fd >= 0)
                    FD_SET(AsSocket(c.fd), &readable);
        }
        timeval tv{0, 20000};
        if (::select(0, &readable, nullptr, nullptr, &tv) <= 0)
            continue;
        if (FD_ISSET(AsSocket(m_listenFd), &readable)) {
            SOCKET fd = ::accept(AsSocket(m_listenFd), nullptr, nullptr);
            if (fd != INVALID_SOCKET) {
                if (!m_greeting.empty())
                    ::send(fd, m_greeting.data(), static_cast<int>(m_greeting.size()), 0);
                std::lock_guard lock(m_mutex);
                m_connections.push_back({static_cast<int>(fd), {}, false});
                if (m_closeOnAccept) {
                    ::closesocket(fd);
                    m_connections.back().fd = -1;
                }
            }
        }
        std::lock_guard lock(m_mutex);
        for (auto& c : m_connections) {
            if (c.closed || c.fd < 0 || !FD_ISSET(AsSocket(c.fd), &readable))
                continue;
            char buf[4096];
            int n = ::recv(AsSocket(c.fd), buf, sizeof buf, 0);
            if (n > 0)
                c.received.append(buf, static_cast<std::size_t>(n));
            else
                c.closed = true;
        }
    }
}

int TcpListener::Connections() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_connections.size());
}

std::string TcpListener::Received(int connection) const {
    std::lock_guard lock(m_mutex);
    return m_connections.at(static_cast<std::size_t>(connection)).received;
}

std::string TcpListener::AllReceived() const {
    std::lock_guard lock(m_mutex);
    std::string all;
    for (const auto& c : m_connections) all += c.received;
    return all;
}

bool TcpListener::PeerClosed(int connection) const {
    std::lock_guard lock(m_mutex);
    return m_connections.at(static_cast<std::size_t>(connection)).closed;
}

void TcpListener::Send(int connection, const std::string& bytes) {
    std::lock_guard lock(m_mutex);
    int fd = m_connections.at(static_cast<std::size_t>(connection)).fd;
    ::send(AsSocket(fd), bytes.data(), static_cast<int>(bytes.size()), 0);
}
