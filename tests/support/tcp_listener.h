// A loopback TCP listener that plays a network printer for tests: it accepts connections on
// 127.0.0.1 (an ephemeral port), records what each one receives and when its peer closes, and can
// greet, answer or hang up on them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TcpListener {
public:
    // greeting: sent on every accepted connection. closeOnAccept: hang up at once.
    explicit TcpListener(std::string greeting = {}, bool closeOnAccept = false);
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    std::uint16_t Port() const { return m_port; }

    int Connections() const;
    std::string Received(int connection) const;
    // Everything received on all connections, in order of the connections.
    std::string AllReceived() const;
    // True once the peer of this connection has closed it.
    bool PeerClosed(int connection) const;
    // Sends bytes on an accepted connection.
    void Send(int connection, const std::string& bytes);

    // Waits until `pred()` holds, at most `limit`.
    template <typename Pred>
    bool WaitUntil(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!pred()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

private:
    struct Connection {
        int fd = -1;
        std::string received;
        bool closed = false;
    };
    void Serve();

    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::string m_greeting;
    bool m_closeOnAccept;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Connection> m_connections;
    std::thread m_thread;
};
