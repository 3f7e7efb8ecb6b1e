// Loopback TCP listener for tests, served by one thread that polls all its sockets.
#include "support/tcp_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

TcpListener::TcpListener(std::string greeting, bool closeOnAccept)
    : m_greeting(std::move(greeting)), m_closeOnAccept(closeOnAccept) {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(m_listenFd, 8) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("no loopback listener");
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

TcpListener::~TcpListener() {
    m_stop = true;
    m_thread.join();
    ::close(m_listenFd);
    for (auto& c : m_connections)
        if (c.fd >= 0)
            ::close(c.fd);
}

void TcpListener::Serve() {
    while (!m_stop) {
        std::vector<pollfd> fds{{m_listenFd, POLLIN, 0}};
        {
            std::lock_guard lock(m_mutex);
            for (const auto& c : m_connections) fds.push_back({c.closed ? -1 : c.fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 20) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                if (!m_greeting.empty())
                    ::send(fd, m_greeting.data(), m_greeting.size(), MSG_NOSIGNAL);
                std::lock_guard lock(m_mutex);
                m_connections.push_back({fd, {}, false});
                if (m_closeOnAccept) {
                    ::close(fd);
                    m_connections.back().fd = -1;
                }
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
            std::lock_guard lock(m_mutex);
            if (n > 0)
                m_connections[i - 1].received.append(buf, static_cast<std::size_t>(n));
            else
                m_connections[i - 1].closed = true;
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
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}
