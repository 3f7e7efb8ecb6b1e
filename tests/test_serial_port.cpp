// Serial port connections through a socat pair of pseudo-terminals (a null-modem cable): line
// settings applied and read back, the port's read and write time-outs, data both ways through the
// reader and the writer, and the failures of open and write.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/serial.h"
#include "support/connection_test.h"
#include "support/socat_process.h"
#include "support/temp_file.h"

namespace {

using platform::FlowControl;
using platform::Parity;
using platform::SerialSettings;
using platform::StopBits;

bool operator==(const SerialSettings& a, const SerialSettings& b) {
    return a.baudRate == b.baudRate && a.dataBits == b.dataBits && a.parity == b.parity &&
           a.stopBits == b.stopBits && a.flowControl == b.flowControl;
}

// The far end of the cable, opened raw by the test itself.
class LineEnd {
public:
    explicit LineEnd(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~LineEnd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    void Write(const std::string& bytes) {
        std::size_t off = 0;
        for (int i = 0; i < 1000 && off < bytes.size(); ++i) {
            ssize_t n = ::write(m_fd, bytes.data() + off, bytes.size() - off);
            if (n > 0)
                off += static_cast<std::size_t>(n);
            else
                Wait(POLLOUT);
        }
    }
    // Reads until `n` bytes came or `limit` passed.
    std::string Read(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
            char buf[4096];
            ssize_t r = ::read(m_fd, buf, sizeof buf);
            if (r > 0)
                got.append(buf, static_cast<std::size_t>(r));
            else
                Wait(POLLIN);
        }
        return got;
    }

private:
    void Wait(short events) {
        pollfd p{m_fd, events, 0};
        ::poll(&p, 1, 10);
    }
    int m_fd;
};

class SerialPortTest : public ConnectionTest {
protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        socat = std::make_unique<SocatProcess>(SocatProcess::PtyPairArgs(portA, portB));
        ASSERT_TRUE(WaitForPath(portA) && WaitForPath(portB)) << "socat made no pty pair";
        ::setenv("PELLMAR_COM1", portA.c_str(), 1);
    }
    void TearDown() override {
        ConnectionTest::TearDown();
        socat.reset();
    }

    TempDir dir;
    const std::string portA = dir.Path("com-a");
    const std::string portB = dir.Path("com-b");
    std::unique_ptr<SocatProcess> socat;
};

// A pseudo-terminal keeps speed, stop bits and flow control, but always runs with 8 data bits and
// no parity, so only those settings can be seen coming back.
TEST_F(SerialPortTest, SettingsAppliedAreReadBack) {
    const SerialSettings cases[] = {
        {19200, 8, Parity::None, StopBits::Two, FlowControl::RtsCts},
        {115200, 8, Parity::None, StopBits::One, FlowControl::None},
        {4800, 8, Parity::None, StopBits::One, FlowControl::XonXoff},
        {921600, 8, Parity::None, StopBits::Two, FlowControl::None},
    };
    platform::Handle h = platform::OpenDevice(portA);
    ASSERT_NE(h, platform::kInvalidHandle);
    for (const auto& s : cases) {
        ASSERT_TRUE(platform::SetCommState(h, s)) << s.baudRate;
        SerialSettings back{};
        ASSERT_TRUE(platform::GetCommState(h, &back));
        EXPECT_TRUE(back == s) << s.baudRate;
    }
    platform::Close(h);
}

TEST_F(SerialPortTest, SettingsThePortCannotTakeAreRefused) {
    SerialSettings badSpeed;
    badSpeed.baudRate = 12345;
    SerialSettings badBits;
    badBits.dataBits = 9;
    SerialSettings badParity;
    badParity.parity = static_cast<Parity>(7);
    platform::Handle h = platform::OpenDevice(portA);
    ASSERT_NE(h, platform::kInvalidHandle);
    for (const auto& s : {badSpeed, badBits, badParity}) {
        platform::SetLastError(0);
        EXPECT_FALSE(platform::SetCommState(h, s));
        EXPECT_EQ(platform::LastError(), EINVAL);
    }
    platform::Close(h);

    TempFile plain({1, 2, 3});  // not a terminal at all
    h = platform::OpenDevice(plain.Path());
    ASSERT_NE(h, platform::kInvalidHandle);
    EXPECT_FALSE(platform::SetCommState(h, SerialSettings{}));
    EXPECT_EQ(platform::LastError(), ENOTTY);
    SerialSettings none;
    EXPECT_FALSE(platform::GetCommState(h, &none));
    platform::Close(h);
}

TEST_F(SerialPortTest, ReadsReturnWithinTheirTimeOutWithWhatArrived) {
    platform::Handle h = platform::OpenDevice(portA);
    ASSERT_NE(h, platform::kInvalidHandle);
    platform::SerialTimeouts t;
    t.readTotalConstant = 100;
    ASSERT_TRUE(platform::SetCommTimeouts(h, t));
    LineEnd far(portB);
    ASSERT_TRUE(far.ok());

    std::uint8_t buf[1024];
    std::uint32_t got = 99;
    EXPECT_TRUE(platform::Read(h, buf, sizeof buf, &got));  // a quiet line: returns, empty
    EXPECT_EQ(got, 0u);

    far.Write("twelve bytes");
    std::string all;
    for (int i = 0; i < 100 && all.size() < 12; ++i) {
        ASSERT_TRUE(platform::Read(h, buf, sizeof buf, &got));
        all.append(reinterpret_cast<char*>(buf), got);
    }
    EXPECT_EQ(all, "twelve bytes");

    const auto big = PatternBytes(3000, 5);
    far.Write(std::string(big.begin(), big.end()));
    all.clear();
    for (int i = 0; i < 100 && all.size() < big.size(); ++i) {
        ASSERT_TRUE(platform::Read(h, buf, sizeof buf, &got));
        EXPECT_LE(got, 1024u);
        all.append(reinterpret_cast<char*>(buf), got);
    }
    EXPECT_EQ(all, std::string(big.begin(), big.end()));
    platform::Close(h);
}

struct ReadModeCase {
    const char* what;
    platform::SerialTimeouts timeouts;
    bool returnsWhenIdle;  // modes without a total limit wait for the first byte
};

TEST_F(SerialPortTest, EveryReadTimeOutModeDeliversWhatArrived) {
    const ReadModeCase cases[] = {
        {"at once", {0xFFFFFFFF, 0, 0, 0, 0}, true},
        {"total constant", {0, 0, 100, 0, 0}, true},
        {"total with multiplier", {0, 1, 20, 0, 0}, true},
        {"first bytes or constant", {0xFFFFFFFF, 0xFFFFFFFF, 100, 0, 0}, true},
        {"interval after the first byte", {20, 0, 0, 0, 0}, false},
    };
    platform::Handle h = platform::OpenDevice(portA);
    ASSERT_NE(h, platform::kInvalidHandle);
    LineEnd far(portB);
    ASSERT_TRUE(far.ok());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(platform::SetCommTimeouts(h, c.timeouts));
        std::uint8_t buf[1024];
        std::uint32_t got = 99;
        if (c.returnsWhenIdle) {
            EXPECT_TRUE(platform::Read(h, buf, sizeof buf, &got));
            EXPECT_EQ(got, 0u);
        }
        far.Write("0123456789");
        std::string all;
        for (int i = 0; i < 2000 && all.size() < 10; ++i) {
            ASSERT_TRUE(platform::Read(h, buf, sizeof buf, &got));
            all.append(reinterpret_cast<char*>(buf), got);
            if (got == 0)  // "at once" reads do not wait for the bytes to cross the cable
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(all, "0123456789");
    }
    platform::Close(h);
}

// poll() can wait for the first byte of a raw line only when a read of an idle line would block
// (VMIN 1, VTIME 0); with VMIN 0 every read returns at once and the read time-out would be lost.
TEST_F(SerialPortTest, PortSetUpMakesIdleReadsWaitable) {
    platform::Handle h = platform::OpenDevice(portA);
    ASSERT_NE(h, platform::kInvalidHandle);
    const int fd = static_cast<int>(h);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    ASSERT_TRUE(platform::SetCommState(h, SerialSettings{}));
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 5;
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
    platform::SerialTimeouts timeouts;
    timeouts.readTotalConstant = 100;
    ASSERT_TRUE(platform::SetCommTimeouts(h, timeouts));
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    platform::Close(h);
}

TEST_F(SerialPortTest, WriteGivesUpAfterItsTotalTimeOut) {
    platform::Handle h = platform::OpenDevice(portA);
    ASSERT_NE(h, platform::kInvalidHandle);
    platform::SerialTimeouts t;
    t.writeTotalConstant = 200;
    ASSERT_TRUE(platform::SetCommTimeouts(h, t));
    // Nobody reads the far end, so the line fills up and the write cannot finish.
    std::vector<std::uint8_t> lots(4 << 20, 0x55);
    std::uint32_t written = 0;
    EXPECT_TRUE(platform::Write(h, lots.data(), static_cast<std::uint32_t>(lots.size()), &written));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, lots.size());
    platform::Close(h);
}

TEST_F(SerialPortTest, OpenAppliesTheRequestedSettings) {
    const SerialSettings wanted{38400, 8, Parity::None, StopBits::Two, FlowControl::RtsCts};
    CONNECTION_SLOT* slot = Open(CONN_SERIAL, "COM1:", 0, 3, &wanted);
    ASSERT_EQ(slot, &g_ConnectionSlots[0]);
    EXPECT_TRUE(slot->dcb == wanted);
    EXPECT_EQ(slot->timeouts.readInterval, 0u);
    EXPECT_EQ(slot->timeouts.readTotalMultiplier, 0u);
    EXPECT_EQ(slot->timeouts.readTotalConstant, 100u);
    EXPECT_EQ(slot->timeouts.writeTotalMultiplier, 0u);
    EXPECT_EQ(slot->timeouts.writeTotalConstant, 3000u);
    // The port itself now runs with them (asked through a second descriptor of the same port).
    int fd = ::open(portA.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    SerialSettings onPort{};
    EXPECT_TRUE(platform::GetCommState(fd, &onPort));
    EXPECT_TRUE(onPort == wanted);
    ::close(fd);
}

TEST_F(SerialPortTest, OpenWithoutSettingsKeepsAndCopiesThePortsOwn) {
    const SerialSettings present{4800, 8, Parity::None, StopBits::Two, FlowControl::XonXoff};
    platform::Handle h = platform::OpenDevice(portA);
    ASSERT_TRUE(platform::SetCommState(h, present));
    platform::Close(h);
    g_ConnectionSlots[0].dcb = SerialSettings{};
    CONNECTION_SLOT* slot = Open(CONN_SERIAL, "COM1:", 0, 0, nullptr);
    ASSERT_NE(slot, nullptr);
    EXPECT_TRUE(slot->dcb == present);
    EXPECT_EQ(slot->timeouts.writeTotalConstant, 0u);  // nIdleTimeout 0: no write limit
}

TEST_F(SerialPortTest, DataFlowsBothWays) {
    CollectData();
    CONNECTION_SLOT* slot = Open(CONN_SERIAL, "COM1:", 0, 5);
    ASSERT_NE(slot, nullptr);
    LineEnd far(portB);
    ASSERT_TRUE(far.ok());

    // Far end to the window: at most 1024 bytes per message, nothing lost or repeated.
    const auto in = PatternBytes(3000, 7);
    far.Write(std::string(in.begin(), in.end()));
    ASSERT_TRUE(WaitForData(in.size()));
    EXPECT_EQ(AllData(), std::string(in.begin(), in.end()));
    const auto messages = DataMessages();
    EXPECT_GE(messages.size(), 3u);
    for (const auto& m : messages) {
        EXPECT_GE(m.size(), 1u);
        EXPECT_LE(m.size(), 1024u);
    }

    // Producer to the far end: 300 bytes in one hand-over, then a full buffer.
    for (std::size_t n : {300u, 1024u, 1u}) {
        const auto out = PatternBytes(n, static_cast<unsigned>(n));
        Transmit(slot, std::string(out.begin(), out.end()));
        ASSERT_TRUE(WaitTaken(slot)) << n;
        EXPECT_EQ(far.Read(n), std::string(out.begin(), out.end())) << n;
    }
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u);
}

TEST_F(SerialPortTest, SettingsRefusedAtOpenFreeTheSlotAndThePort) {
    SerialSettings bad;
    bad.baudRate = 12345;
    EXPECT_EQ(Open(CONN_SERIAL, "COM1:", 0, 0, &bad), nullptr);
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR));
    EXPECT_EQ(window.Messages()[0].error, platform::ErrorText(EINVAL));
    EXPECT_EQ(g_ConnectionSlots[0].bActive.load(), 0);

    TempFile plain({1});
    ::setenv("PELLMAR_COM2", plain.Path().c_str(), 1);
    window.Clear();
    EXPECT_EQ(Open(CONN_SERIAL, "COM2:", 0, 0, &bad), nullptr);
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR));
    EXPECT_EQ(window.Messages()[0].error, platform::ErrorText(ENOTTY));
    EXPECT_EQ(RunningWorkers(), 0);

    // Both ports were let go: they open again at once.
    for (const auto& path : {portA, plain.Path()}) {
        platform::Handle h = platform::OpenDevice(path);
        EXPECT_NE(h, platform::kInvalidHandle) << path;
        platform::Close(h);
    }
}

TEST_F(SerialPortTest, FailedWriteIsReported) {
    CONNECTION_SLOT* slot = Open(CONN_SERIAL, "COM1:", 0, 5);
    ASSERT_NE(slot, nullptr);
    socat->Stop();  // the cable is pulled: the pty's other side is gone
    Transmit(slot, "lost");
    ASSERT_TRUE(WaitTaken(slot));
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR));
    EXPECT_EQ(window.Messages().back().error, platform::ErrorText(EIO));
    EXPECT_EQ(slot->bActive.load(), 1);
}

TEST_F(SerialPortTest, StalledWriteTimesOutAndClosingStillEndsBothWorkers) {
    CONNECTION_SLOT* slot = Open(CONN_SERIAL, "COM1:", 0, 1);
    ASSERT_NE(slot, nullptr);
    // Fill the line through a second descriptor until it takes nothing more (nobody reads the
    // far end).
    int fd = ::open(portA.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::vector<char> chunk(65536, 'f');
    for (int quiet = 0, i = 0; quiet < 20 && i < 5000; ++i) {
        if (::write(fd, chunk.data(), chunk.size()) > 0) {
            quiet = 0;
        } else {
            ++quiet;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ::close(fd);
    Transmit(slot, std::string(1024, 'x'));
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR));
    EXPECT_NE(window.Messages().back().error.find("Write to COM1: timed out"), std::string::npos)
        << window.Messages().back().error;
    ASSERT_TRUE(WaitTaken(slot));

    // Another stalled buffer, then the connection is closed while the writer waits on it.
    Transmit(slot, std::string(1024, 'y'));
    manager.CloseAllConnections();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(10)));
    platform::Handle again = platform::OpenDevice(portA);
    EXPECT_NE(again, platform::kInvalidHandle);
    platform::Close(again);
}

}  // namespace
