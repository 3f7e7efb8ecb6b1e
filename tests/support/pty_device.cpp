// Pseudo-terminal stand-in device.
#include "support/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

PtyDevice::PtyDevice() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    m_path = ::ptsname(m_master);
    // The device side keeps the slave open, so the master stays readable between the opens and
    // closes of the code under test; raw mode passes every byte unchanged.
    m_slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    ::tcgetattr(m_master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_master, TCSANOW, &t);
}

PtyDevice::~PtyDevice() {
    m_stop = true;
    if (m_reader.joinable())
        m_reader.join();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

void PtyDevice::StartCollecting(long long hangUpAfter) {
    m_reader = std::thread([this, hangUpAfter] { Collect(hangUpAfter); });
}

void PtyDevice::Collect(long long hangUpAfter) {
    std::uint8_t buf[8192];
    while (!m_stop) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        std::size_t want = sizeof buf;
        {
            std::lock_guard lock(m_mutex);
            if (hangUpAfter >= 0) {
                long long left = hangUpAfter - static_cast<long long>(m_received.size());
                if (left <= 0)
                    break;
                if (static_cast<long long>(want) > left)
                    want = static_cast<std::size_t>(left);
            }
        }
        ssize_t n = ::read(m_master, buf, want);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EIO))
                continue;
            break;
        }
        std::lock_guard lock(m_mutex);
        m_received.insert(m_received.end(), buf, buf + n);
    }
    if (hangUpAfter >= 0 && !m_stop)
        HangUp();
}

bool PtyDevice::WaitForBytes(std::size_t n, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(m_mutex);
            if (m_received.size() >= n)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::vector<std::uint8_t> PtyDevice::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

void PtyDevice::Reply(const std::vector<std::uint8_t>& bytes) {
    std::size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::write(m_master, bytes.data() + off, bytes.size() - off);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        off += static_cast<std::size_t>(n);
    }
}

void PtyDevice::HangUp() {
    // Closing the master while the slave stays open makes writes on the slave fail with EIO.
    int m = m_master.exchange(-1);
    if (m >= 0)
        ::close(m);
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
}
