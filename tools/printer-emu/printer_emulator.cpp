// The emulator's transports: a raw pseudo-terminal that it keeps open itself (so the device stays
// usable while the host opens and closes it), and loopback TCP connections, all served by one
// poll() loop that feeds each peer's protocol session.
#include "printer_emulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>

namespace emu {

struct PrinterEmulator::Peer {
    int fd = -1;
    bool device = false;  // the pseudo-terminal (or the given master), not a TCP connection
    long long dataBytes = 0;
    std::unique_ptr<Session> session;
};

namespace {
constexpr int kLoopSliceMs = 20;
constexpr std::size_t kBlock = 4096;

void MakeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
}

// Writes a reply; gives up after about a second in which the host took nothing (a host that
// never reads its replies must not stall the emulator).
bool WriteAllFd(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t off = 0;
    int idleSlices = 0;
    while (off < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (++idleSlices > 50)
                return false;
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, kLoopSliceMs);
            continue;
        }
        if (n <= 0)
            return false;
        off += static_cast<std::size_t>(n);
    }
    return true;
}
}  // namespace

PrinterEmulator::PrinterEmulator(EmulatorOptions options) : m_options(std::move(options)) {}

PrinterEmulator::~PrinterEmulator() {
    Stop();
}

bool PrinterEmulator::OpenPty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_path = ::ptsname(m_master);
    // Holding the slave open keeps the master readable while the host has the device closed;
    // raw mode passes every byte unchanged.
    m_slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        m_error = "cannot open " + m_path + ": " + std::strerror(errno);
        return false;
    }
    MakeRaw(m_slave);
    MakeRaw(m_master);
    return true;
}

bool PrinterEmulator::OpenTcp() {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(m_options.tcpPort));
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 8) != 0) {
        m_error = "cannot listen on 127.0.0.1:" + std::to_string(m_options.tcpPort) + ": " +
                  std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_tcpPort = ntohs(addr.sin_port);
    return true;
}

bool PrinterEmulator::Start() {
    if (!OpenPty())
        return false;
    return StartOnFd(m_master);
}

bool PrinterEmulator::StartOnFd(int masterFd) {
    m_ownsMaster = (masterFd == m_master);
    m_master = masterFd;
    MakeRaw(m_master);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (m_options.tcpPort >= 0 && !OpenTcp())
        return false;
    if (!m_options.recordPath.empty()) {
        m_record = std::fopen(m_options.recordPath.c_str(), "wb");
        if (!m_record) {
            m_error = "cannot write " + m_options.recordPath + ": " + std::strerror(errno);
            return false;
        }
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

void PrinterEmulator::Stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_record) {
        std::fclose(m_record);
        m_record = nullptr;
    }
    if (m_ownsMaster && m_master >= 0)
        ::close(m_master);
    m_master = -1;
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
    if (m_listen >= 0)
        ::close(m_listen);
    m_listen = -1;
}

void PrinterEmulator::HangUpDevice() {
    // With the master gone, the host's next write to the device fails with EIO.
    if (m_ownsMaster && m_master >= 0)
        ::close(m_master);
    m_master = -1;
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
    m_hungUp = true;
}

void PrinterEmulator::Serve(Peer& peer, bool* closePeer) {
    std::size_t want = kBlock;
    if (m_options.hangUpAfter >= 0)
        want = static_cast<std::size_t>(std::min<long long>(
            static_cast<long long>(want), m_options.hangUpAfter - peer.dataBytes));
    std::uint8_t buf[kBlock];
    ssize_t n = want ? ::read(peer.fd, buf, want) : 0;
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0 && want && peer.device) {
        ::usleep(10000);  // EIO: nobody has the device open (yet)
        return;
    }
    if (n <= 0) {
        *closePeer = true;
        return;
    }
    Session::Output out;
    peer.session->Feed(buf, static_cast<std::size_t>(n), Session::Clock::now(), &out);
    peer.dataBytes += static_cast<long long>(out.data.size());
    Record(out.data);
    if (m_options.acceptDelayMs > 0)
        ::usleep(static_cast<useconds_t>(m_options.acceptDelayMs) * 1000);
}

void PrinterEmulator::Run() {
    std::list<Peer> peers;
    peers.push_back(
        Peer{m_master, true, 0, std::make_unique<Session>(m_options.protocol, m_counters)});
    while (!m_stop) {
        std::vector<pollfd> fds;
        std::vector<Peer*> who;
        for (auto& p : peers) {
            fds.push_back({p.fd, POLLIN, 0});
            who.push_back(&p);
        }
        if (m_listen >= 0)
            fds.push_back({m_listen, POLLIN, 0});
        ::poll(fds.data(), fds.size(), kLoopSliceMs);

        for (std::size_t i = 0; i < who.size(); ++i) {
            Peer& peer = *who[i];
            bool close = false;
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                Serve(peer, &close);
            auto now = Session::Clock::now();
            Session::Output out;
            peer.session->Tick(now, &out);
            peer.dataBytes += static_cast<long long>(out.data.size());
            Record(out.data);
            auto replies = peer.session->DueReplies(now);
            if (!replies.empty() && !WriteAllFd(peer.fd, replies) && !peer.device)
                close = true;
            if (m_options.hangUpAfter >= 0 && peer.dataBytes >= m_options.hangUpAfter)
                close = true;
            if (close) {
                if (peer.device)
                    HangUpDevice();
                else
                    ::close(peer.fd);
                peer.fd = -1;
            }
        }
        peers.remove_if([](const Peer& p) { return p.fd < 0; });
        if (m_listen >= 0 && (fds.back().revents & POLLIN)) {
            int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                ::fcntl(c, F_SETFL, ::fcntl(c, F_GETFL) | O_NONBLOCK);
                peers.push_back(
                    Peer{c, false, 0, std::make_unique<Session>(m_options.protocol, m_counters)});
            }
        }
    }
    for (auto& p : peers)
        if (!p.device && p.fd >= 0)
            ::close(p.fd);
    if (m_record)
        std::fflush(m_record);
}

}  // namespace emu
