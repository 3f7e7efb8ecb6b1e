// pellmar-cli handshake and port on a parallel port: a pseudo-terminal plays the printer behind
// LPT1: (PELLMAR_LPT1).
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "cli/child_process.h"
#include "connection/packets.h"
#include "support/pty_device.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A channel-list reply with the given (channel, name) entries.
Bytes ListFrame(const std::vector<std::pair<std::uint8_t, std::string>>& entries) {
    Bytes f{0xA5, 0x00, 0x00, 0x50, 0x02, 0x00, static_cast<std::uint8_t>(entries.size())};
    for (const auto& [channel, name] : entries) {
        f.push_back(channel);
        f.insert(f.end(), 14, 0x00);
        f.push_back(static_cast<std::uint8_t>(name.size()));
        f.insert(f.end(), name.begin(), name.end());
    }
    f[2] = static_cast<std::uint8_t>(f.size() - 3);
    return f;
}

std::size_t QuerySize() {
    return PKT_PRELUDE_1().count + PKT_PRELUDE_2().count + PKT_CHANNEL_QUERY().count;
}

TEST(CliHandshake, PrintsTheChannelFound) {
    struct Case {
        Bytes reply;
        const char* out;
        bool note;
    };
    const Case cases[] = {
        {ListFrame({{1, "PCL"}, {7, "IPDS Emulation"}}), "Channel 7\n", false},
        {ListFrame({{2, "PCL"}}), "Channel 0\n", true},
    };
    for (const auto& c : cases) {
        PtyDevice device;
        device.StartCollecting();
        std::thread printer([&] {
            if (device.WaitForBytes(QuerySize(), 10s))
                device.Reply(c.reply);
        });
        auto r = RunCli({"handshake", "LPT1:"}, {{"PELLMAR_LPT1", device.Path()}}, 30s);
        printer.join();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err.find("offered no matching channel") != std::string::npos, c.note) << r.err;
    }
}

TEST(CliHandshake, MissingPortExitsThree) {
    auto r = RunCli({"handshake", "LPT2:"}, {{"PELLMAR_LPT2", "/nonexistent/lp9"}});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("LPT2:: No such file or directory"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("PELLMAR_LPT1"), std::string::npos) << r.err;
}

TEST(CliParallelPort, BytesBothWays) {
    PtyDevice device;
    device.StartCollecting();
    ChildProcess cli({PELLMAR_CLI, "port", "LPT1:"}, {{"PELLMAR_LPT1", device.Path()}}, true);
    cli.WriteInput("@PJL ECHO hi\r\n");
    ASSERT_TRUE(device.WaitForBytes(14, 10s));
    EXPECT_EQ(device.Received(),
              Bytes({'@', 'P', 'J', 'L', ' ', 'E', 'C', 'H', 'O', ' ', 'h', 'i', '\r', '\n'}));
    device.Reply({'h', 'i', 0x00, 0xFF});
    EXPECT_TRUE(cli.WaitForOutput(std::string("hi\0\xff", 4), 10s)) << cli.Err();
    cli.Signal(SIGINT);
    auto r = cli.Wait(20s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
