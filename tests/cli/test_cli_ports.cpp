// pellmar-cli send and port end to end: a print job to a loopback listener, and a terminal on a
// serial port made of a socat pseudo-terminal pair.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "cli/child_process.h"
#include "support/temp_file.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// A printer on 127.0.0.1: takes one connection, answers once `replyAfter` bytes came, and keeps
// what it received until the client closes.
class LoopbackPrinter {
public:
    LoopbackPrinter(std::size_t replyAfter, std::string reply)
        : m_replyAfter(replyAfter), m_reply(std::move(reply)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackPrinter() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }
    // Waits (bounded) until the client has closed the connection.
    bool WaitClosed(std::chrono::milliseconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!m_closed && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return m_closed;
    }
    std::string Received() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

private:
    void Serve() {
        int fd = -1;
        while (!m_stop && fd < 0) {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0)
                fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        }
        bool replied = false;
        char buf[8192];
        while (!m_stop && fd >= 0) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                m_closed = true;
                break;
            }
            std::lock_guard lock(m_mutex);
            m_received.append(buf, static_cast<std::size_t>(n));
            if (!replied && m_received.size() >= m_replyAfter) {
                replied = true;
                (void)!::send(fd, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
            }
        }
        if (fd >= 0)
            ::close(fd);
    }

    std::size_t m_replyAfter;
    std::string m_reply;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false}, m_closed{false};
    std::mutex m_mutex;
    std::string m_received;
};

TEST(CliSend, JobToLoopbackPrinterWithItsAnswer) {
    auto bytes = PatternBytes(10000, 9);  // ten blocks of 1024 bytes, the last one short
    TempFile file(bytes);
    LoopbackPrinter printer(bytes.size(), "@PJL INFO STATUS OK\r\n");
    ASSERT_NE(printer.Port(), 0);
    // (With an idle limit of 0 a slow feeder could see the job split over two connections.)
    auto r = RunCli({"send", "127.0.0.1", file.Path(), "--port", std::to_string(printer.Port()),
                     "--idle-timeout", "1"},
                    {}, 30s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "@PJL INFO STATUS OK\r\n");
    EXPECT_NE(r.err.find("Sent 10000 bytes to 127.0.0.1 in "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("received 21 bytes"), std::string::npos) << r.err;
    // The program ended after the job's connection had closed.
    EXPECT_TRUE(printer.WaitClosed(5s));
    EXPECT_TRUE(printer.Received() == std::string(bytes.begin(), bytes.end()));
}

TEST(CliSend, Failures) {
    TempFile file(PatternBytes(100));
    // A port nobody listens on: take one from the system, then let it go.
    int port = 0;
    {
        LoopbackPrinter unused(1, "");
        port = unused.Port();
    }
    auto refused = RunCli(
        {"send", "127.0.0.1", file.Path(), "--port", std::to_string(port), "--idle-timeout", "0"},
        {}, 30s);
    EXPECT_EQ(refused.exitCode, 1) << refused.err;
    EXPECT_NE(refused.err.find("the print job to 127.0.0.1 failed: "), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("accepts jobs on that port"), std::string::npos) << refused.err;

    auto badHost =
        RunCli({"send", "no-such-host.invalid", file.Path(), "--idle-timeout", "0"}, {}, 30s);
    EXPECT_EQ(badHost.exitCode, 3) << badHost.err;
    EXPECT_NE(badHost.err.find("Invalid host name or IP address!"), std::string::npos)
        << badHost.err;

    auto noFile = RunCli({"send", "127.0.0.1", "/nonexistent.prn"});
    EXPECT_EQ(noFile.exitCode, 3);
    EXPECT_NE(noFile.err.find("cannot open the file \"/nonexistent.prn\""), std::string::npos);
}

// A serial pair: the program's end is COM1: (PELLMAR_COM1), the test plays the printer on the
// other end.
class CliPort : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() /
                ("pellmar-cli-port-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        m_a = (m_dir / "com1").string();
        m_b = (m_dir / "printer").string();
        m_socat.emplace(std::vector<std::string>{"/usr/bin/socat", "-d", "-d",
                                                 "pty,raw,echo=0,link=" + m_a,
                                                 "pty,raw,echo=0,link=" + m_b});
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!(std::filesystem::exists(m_a) && std::filesystem::exists(m_b)) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(std::filesystem::exists(m_b)) << "socat made no pair";
        m_printer = ::open(m_b.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m_printer, 0);
    }
    void TearDown() override {
        if (m_printer >= 0)
            ::close(m_printer);
        m_socat.reset();
        std::filesystem::remove_all(m_dir);
    }
    // Reads from the printer's end until `n` bytes came, at most `limit`.
    std::string ReadPrinter(std::size_t n, std::chrono::milliseconds limit) {
        std::string got;
        auto deadline = std::chrono::steady_clock::now() + limit;
        char buf[4096];
        while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_printer, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                ssize_t r = ::read(m_printer, buf, sizeof buf);
                if (r > 0)
                    got.append(buf, static_cast<std::size_t>(r));
            }
        }
        return got;
    }
    std::filesystem::path m_dir;
    std::string m_a, m_b;
    std::optional<ChildProcess> m_socat;
    int m_printer = -1;
};

TEST_F(CliPort, BytesBothWaysAndTheLineSettings) {
    ChildProcess cli({PELLMAR_CLI, "port", "COM1:", "--baud", "19200", "--parity", "even", "--data",
                      "7", "--stop", "2"},
                     {{"PELLMAR_COM1", m_a}}, true);
    const std::string query = "@PJL INFO ID\r\n";
    cli.WriteInput(query);
    EXPECT_EQ(ReadPrinter(query.size(), 10s), query);

    const std::string binary = "Emu Serial\r\n\x00\xff binary"s;
    ASSERT_EQ(::write(m_printer, binary.data(), binary.size()), ssize_t(binary.size()));
    EXPECT_TRUE(cli.WaitForOutput(binary, 10s)) << cli.Out() << cli.Err();

    // The settings were applied to the port. (A pseudo-terminal keeps the speed and the stop bits;
    // its driver always forces 8 data bits without parity, so those cannot be seen here.)
    int fd = ::open(m_a.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&t), B19200);
    EXPECT_TRUE(t.c_cflag & CSTOPB);

    cli.CloseInput();
    auto r = cli.Wait(20s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, binary);
}

TEST_F(CliPort, InterruptEndsTheSession) {
    ChildProcess cli({PELLMAR_CLI, "port", "COM1:"}, {{"PELLMAR_COM1", m_a}}, true);
    cli.WriteInput("ping");
    EXPECT_EQ(ReadPrinter(4, 10s), "ping");
    cli.Signal(SIGINT);
    auto r = cli.Wait(20s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST(CliPortOpen, MissingDeviceExitsThree) {
    auto r = RunCli({"port", "COM2:"}, {{"PELLMAR_COM2", "/nonexistent/ttyX"}});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("COM2:: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
}

}  // namespace
