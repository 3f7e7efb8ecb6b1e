// The printer emulator: its answers to the management exchanges, what it records, its TCP side,
// and the pellmar-printer-emu program run as a technician would run it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "connection/packets.h"
#include "printer_emulator.h"
#include "support/temp_file.h"

namespace {

using namespace std::chrono_literals;

PRINTER_IDENTITY Identify(const std::string& path) {
    platform::Handle h = platform::OpenDevice(path);
    EXPECT_NE(h, platform::kInvalidHandle);
    PRINTER_IDENTITY id = QueryPrinterIdentity(h);
    platform::Close(h);
    return id;
}

void WriteTo(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    platform::Handle h = platform::OpenDevice(path);
    ASSERT_NE(h, platform::kInvalidHandle);
    std::uint32_t written = 0;
    EXPECT_TRUE(platform::WriteAll(h, bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                   &written, 1000, [] { return false; }));
    platform::Close(h);
}

struct AnswerCase {
    const char* what;
    emu::ProtocolOptions options;
    std::vector<bool> answers;  // per successive query
};

TEST(PrinterEmulator, AnswersIdentificationAsConfigured) {
    emu::ProtocolOptions named;
    named.text1 = "Acme";
    named.text3 = "Laser 9000";
    emu::ProtocolOptions silent2;
    silent2.silentQueries = 2;
    emu::ProtocolOptions garbage;
    garbage.garbage = true;
    emu::ProtocolOptions late;
    late.replyDelayMs = 5000;  // far beyond the host's 500 ms bound
    const AnswerCase cases[] = {
        {"default", {}, {true, true}},
        {"named", named, {true}},
        {"silent first two", silent2, {false, false, true}},
        {"garbage", garbage, {false, false}},
        {"late", late, {false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        emu::EmulatorOptions o;
        o.protocol = c.options;
        emu::PrinterEmulator e(o);
        ASSERT_TRUE(e.Start()) << e.Error();
        for (bool answers : c.answers) {
            PRINTER_IDENTITY id = Identify(e.DevicePath());
            EXPECT_EQ(id.bAnswered, answers);
            if (answers) {
                EXPECT_EQ(id.strText1, c.options.text1);
                EXPECT_EQ(id.strText3, c.options.text3);
            }
        }
        EXPECT_EQ(e.IdentifyQueries(), static_cast<int>(c.answers.size()));
    }
}

TEST(PrinterEmulator, AnswersChannelQueryWithItsList) {
    struct Case {
        std::string list;
        std::uint8_t channel;
    };
    for (const Case& c : {Case{"3:PCL,7:IPDS-A,9:IPDS", 7}, Case{"", 0}, Case{"2:ipds", 0}}) {
        SCOPED_TRACE(c.list);
        emu::EmulatorOptions o;
        ASSERT_TRUE(emu::ParseChannels(c.list, &o.protocol.channels));
        emu::PrinterEmulator e(o);
        ASSERT_TRUE(e.Start());
        platform::Handle h = platform::OpenDevice(e.DevicePath());
        HandleIo io(h);
        std::atomic<std::int32_t> nChannel{-5};
        auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(RunChannelHandshake(io, &nChannel, 10000), c.channel);
        // The list came: the handshake did not sit out its whole bound.
        EXPECT_LT(std::chrono::steady_clock::now() - started, 9s);
        EXPECT_EQ(nChannel.load(), c.channel ? c.channel : -5);
        platform::Close(h);
        for (int i = 0; i < 400 && e.ChannelSelected() < 0; ++i) std::this_thread::sleep_for(5ms);
        EXPECT_EQ(e.ChannelSelected(), c.channel);
    }
    std::vector<emu::Channel> bad;
    for (const char* list : {"x:IPDS", "1", ":A", "300:A", "1:A,,"})
        EXPECT_FALSE(emu::ParseChannels(list, &bad)) << list;
}

TEST(PrinterEmulator, RecordsOnlyDataAfterAnIdentification) {
    TempFile record({});
    emu::EmulatorOptions o;
    o.recordPath = record.Path();
    emu::PrinterEmulator e(o);
    ASSERT_TRUE(e.Start());
    WriteTo(e.DevicePath(), {'n', 'o', 'i', 's', 'e'});
    std::this_thread::sleep_for(400ms);  // past the idle gap, so the next bytes start afresh
    ASSERT_TRUE(Identify(e.DevicePath()).bAnswered);
    // Bytes that would change on a terminal (CR, LF, ^C, ^D, XON/XOFF) pass unchanged.
    std::vector<std::uint8_t> data = {0x0A, 0x0D, 0x03, 0x04, 0x11, 0x13, 0x7F, 0xA5, 0x00};
    auto more = PatternBytes(10000);
    data.insert(data.end(), more.begin(), more.end());
    WriteTo(e.DevicePath(), data);
    ASSERT_TRUE(e.WaitForRecorded(data.size(), 10s));
    std::this_thread::sleep_for(50ms);
    e.Stop();
    EXPECT_EQ(e.Recorded(), data);
    std::ifstream in(record.Path(), std::ios::binary);
    std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(file, data);
}

TEST(PrinterEmulator, RecordAllKeepsDataWithoutIdentification) {
    emu::EmulatorOptions o;
    o.protocol.recordAll = true;
    emu::PrinterEmulator e(o);
    ASSERT_TRUE(e.Start());
    WriteTo(e.DevicePath(), {'a', 'b', 'c'});
    ASSERT_TRUE(e.WaitForRecorded(3, 5s));
    EXPECT_EQ(e.Recorded(), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
}

TEST(PrinterEmulator, TcpConnectionIsServedLikeTheDevice) {
    emu::EmulatorOptions o;
    o.tcpPort = 0;
    o.protocol.text1 = "Net";
    emu::PrinterEmulator e(o);
    ASSERT_TRUE(e.Start()) << e.Error();
    ASSERT_GT(e.TcpPort(), 0);
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(e.TcpPort()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    // Sockets are descriptors too: the same exchange runs over one.
    PRINTER_IDENTITY id = QueryPrinterIdentity(static_cast<platform::Handle>(s));
    EXPECT_TRUE(id.bAnswered);
    EXPECT_EQ(id.strText1, "Net");
    const std::string data = "\x1b%-12345X@PJL\r\n";
    ASSERT_EQ(::send(s, data.data(), data.size(), 0), static_cast<ssize_t>(data.size()));
    ASSERT_TRUE(e.WaitForRecorded(data.size(), 5s));
    EXPECT_EQ(e.Recorded(), std::vector<std::uint8_t>(data.begin(), data.end()));
    ::close(s);
}

// Runs the program with its output on a pipe; the first line is the device path.
struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;
    explicit Program(std::vector<std::string> args) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> argv;
            std::string prog = PELLMAR_EMU_PROGRAM;
            argv.push_back(prog.data());
            for (auto& s : args) argv.push_back(s.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out = ::fdopen(fds[0], "r");
    }
    std::string Line() {
        char buf[512] = {};
        if (!out || !std::fgets(buf, sizeof buf, out))
            return {};
        std::string s = buf;
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        return s;
    }
    // Waits for the exit, at most about 10 s; -1 when it did not end.
    int Wait() {
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            std::this_thread::sleep_for(10ms);
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    ~Program() {
        if (out)
            std::fclose(out);
    }
};

TEST(PrinterEmulatorProgram, ServesUntilTerminatedThenLeavesTheRecord) {
    TempFile record({});
    Program p({"--text1", "Prog", "--text3", "Emu", "--record", record.Path(), "--tcp", "0"});
    const std::string path = p.Line();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(p.Line().rfind("tcp 127.0.0.1:", 0), 0u);
    PRINTER_IDENTITY id = Identify(path);
    EXPECT_TRUE(id.bAnswered);
    EXPECT_EQ(id.strText1 + " " + id.strText3, "Prog Emu");
    auto data = PatternBytes(70000, 3);
    WriteTo(path, data);
    std::this_thread::sleep_for(300ms);
    ::kill(p.pid, SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
    std::ifstream in(record.Path(), std::ios::binary);
    std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(file, data);
}

TEST(PrinterEmulatorProgram, HelpAndBadOptions) {
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    for (const auto& c :
         {Case{{"--help"}, 0}, Case{{"--bogus", "1"}, 2}, Case{{"--silent-queries", "-1"}, 2},
          Case{{"--channels", "x"}, 2}, Case{{"--record"}, 2}}) {
        Program p(c.args);
        if (c.code == 0) {
            EXPECT_EQ(p.Line().rfind("Usage: pellmar-printer-emu", 0), 0u);
        }
        EXPECT_EQ(p.Wait(), c.code) << c.args[0];
    }
}

}  // namespace
