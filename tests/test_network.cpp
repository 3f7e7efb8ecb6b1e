// Network connections against loopback peers: our own listener that plays the printer, and plain
// socat listeners that no code of ours runs. Sessions (one connection for the slot's life) and
// jobs (a connection per burst, closed when idle), look-up failures and peers that go away.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/socket.h"
#include "support/connection_test.h"
#include "support/socat_process.h"
#include "support/tcp_listener.h"

namespace {

class NetworkTest : public ConnectionTest {
protected:
    // Points both kinds of network connection at `port` on loopback.
    static void UsePort(std::uint16_t port) { SetNetworkPorts(port, port); }

    // Waits until the worker has reported an error.
    bool WaitForError() { return window.WaitFor(WM_LINK_ERROR, std::chrono::seconds(10)); }
    std::string LastErrorShown() const { return window.Messages().back().error; }
};

TEST_F(NetworkTest, DefaultPortsAreThePrintersOwn) {
    EXPECT_EQ(NetSessionPort(), 9500);
    EXPECT_EQ(NetJobPort(), 9100);
    SetNetworkPorts(9600, 9200);
    EXPECT_EQ(NetSessionPort(), 9600);
    EXPECT_EQ(NetJobPort(), 9200);
    SetNetworkPorts(kNetSessionPort, kNetJobPort);
}

TEST_F(NetworkTest, OtherModesOpenASlotWithoutWorker) {
    for (const char* host : {"127.0.0.1", "no-such-host.invalid", ""}) {
        CONNECTION_SLOT* slot = Open(CONN_NETWORK, host, 0);
        ASSERT_NE(slot, nullptr) << host;
        EXPECT_EQ(slot->bActive.load(), 1);
    }
    EXPECT_EQ(Open(CONN_NETWORK, "127.0.0.1", 3), &g_ConnectionSlots[3]);
    EXPECT_EQ(RunningWorkers(), 0);
    EXPECT_EQ(window.Messages().size(), 0u);
}

TEST_F(NetworkTest, SessionReceivesThenSendsOverOneConnection) {
    TcpListener printer("hello from the printer");
    UsePort(printer.Port());
    CollectData();
    std::vector<std::uint32_t> rxLenAfter;
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 1);
    ASSERT_NE(slot, nullptr);
    ASSERT_TRUE(WaitForData(22));
    EXPECT_EQ(AllData(), "hello from the printer");
    // Cleared again once the handler has returned.
    EXPECT_TRUE(g_slotSignal.WaitFor(std::chrono::seconds(5), [&] { return slot->nRxLen == 0; }));

    for (const std::string& out :
         {std::string("first"), std::string(1024, 'z'), std::string("third")}) {
        Transmit(slot, out);
        ASSERT_TRUE(WaitTaken(slot));
    }
    const std::string expected = "first" + std::string(1024, 'z') + "third";
    ASSERT_TRUE(printer.WaitUntil([&] { return printer.Received(0).size() >= expected.size(); }));
    EXPECT_EQ(printer.Received(0), expected);
    printer.Send(0, "more");
    ASSERT_TRUE(WaitForData(26));
    EXPECT_EQ(printer.Connections(), 1);

    // The session's connection ends with the slot.
    manager.CloseAllConnections();
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    EXPECT_TRUE(printer.WaitUntil([&] { return printer.PeerClosed(0); }));
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u);
}

TEST_F(NetworkTest, SessionByHostNameAgainstASocatEchoListener) {
    const unsigned short port = FreeLoopbackPort();
    SocatProcess echo({"TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr", "PIPE"});
    ASSERT_TRUE(echo.WaitForLog("listening on"));
    UsePort(port);
    CollectData();
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "localhost", 1);
    ASSERT_NE(slot, nullptr);
    Transmit(slot, "ping over the session");
    ASSERT_TRUE(WaitTaken(slot));
    ASSERT_TRUE(WaitForData(21));
    EXPECT_EQ(AllData(), "ping over the session");
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u);
}

TEST_F(NetworkTest, NameThatCannotBeLookedUpEndsTheWorker) {
    TcpListener printer;
    UsePort(printer.Port());
    for (std::int32_t mode : {1, 2}) {
        window.Clear();
        CONNECTION_SLOT* slot = Open(CONN_NETWORK, "no-such-host.invalid", mode);
        ASSERT_NE(slot, nullptr);
        if (mode == 2)
            Transmit(slot, "job");  // a job looks the printer up only when there is work
        ASSERT_TRUE(WaitForError()) << "mode " << mode;
        EXPECT_EQ(LastErrorShown(), "Invalid host name or IP address!");
        EXPECT_TRUE(window.Messages().back().posted);
        EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        EXPECT_EQ(slot->bActive.load(), 1);  // the slot stays taken until it is closed
        manager.CloseAllConnections();
    }
    EXPECT_EQ(printer.Connections(), 0);
}

TEST_F(NetworkTest, RefusedConnectionIsReportedAtOnce) {
    UsePort(FreeLoopbackPort());  // nobody listens there
    for (std::int32_t mode : {1, 2}) {
        window.Clear();
        CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", mode);
        ASSERT_NE(slot, nullptr);
        if (mode == 2)
            Transmit(slot, "job");
        ASSERT_TRUE(WaitForError()) << "mode " << mode;
        EXPECT_EQ(LastErrorShown(), platform::ErrorText(ECONNREFUSED));
        EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        manager.CloseAllConnections();
    }
}

TEST_F(NetworkTest, SessionWhosePrinterHangsUpGetsTheSystemsTextNotASignal) {
    TcpListener printer({}, /*closeOnAccept=*/true);
    UsePort(printer.Port());
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 1);
    ASSERT_NE(slot, nullptr);
    ASSERT_TRUE(printer.WaitUntil([&] { return printer.Connections() == 1; }));
    // The first sends may still be taken; one of the next fails (the process must survive it).
    for (int i = 0; i < 50 && window.Count(WM_LINK_ERROR) == 0; ++i) {
        Transmit(slot, "are you there?");
        g_slotSignal.WaitFor(std::chrono::milliseconds(200),
                             [&] { return slot->nTxLen.load() == 0; });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(WaitForError());
    const std::string text = LastErrorShown();
    EXPECT_TRUE(text == platform::ErrorText(EPIPE) || text == platform::ErrorText(ECONNRESET))
        << text;
    EXPECT_NE(slot->nTxLen.load(), 0u);  // the failed send's bytes were not taken
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
}

class NetworkJobTest : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        UsePort(printer.Port());
    }
    bool WaitConnections(int n) {
        return printer.WaitUntil([&] { return printer.Connections() >= n; });
    }
    bool WaitClosed(int connection) {
        return printer.WaitUntil([&] { return printer.PeerClosed(connection); },
                                 std::chrono::seconds(15));
    }
    TcpListener printer;
};

TEST_F(NetworkJobTest, NoConnectionUntilBytesWait) {
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 2, 0);
    ASSERT_NE(slot, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(printer.Connections(), 0);
    // Released while it waits for work: it ends without ever connecting.
    manager.CloseAllConnections();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    EXPECT_EQ(printer.Connections(), 0);
}

TEST_F(NetworkJobTest, IdleConnectionIsClosedAndTheNextBurstOpensANewOne) {
    std::uint32_t idleLimits[] = {0, 1};
    int connection = 0;
    for (std::uint32_t idle : idleLimits) {
        SCOPED_TRACE(idle);
        CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 2, idle);
        ASSERT_NE(slot, nullptr);
        for (int burst = 0; burst < 2; ++burst, ++connection) {
            const std::string bytes = "burst " + std::to_string(connection);
            Transmit(slot, bytes);
            ASSERT_TRUE(WaitTaken(slot));
            ASSERT_TRUE(WaitConnections(connection + 1));
            ASSERT_TRUE(WaitClosed(connection)) << "never closed when idle";
            EXPECT_EQ(printer.Received(connection), bytes);
        }
        EXPECT_EQ(printer.Connections(), connection);
        manager.CloseAllConnections();
        ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    }
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u);
}

TEST_F(NetworkJobTest, BytesBeforeTheIdleLimitShareTheConnection) {
    CollectData();
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 2, 30);
    ASSERT_NE(slot, nullptr);
    Transmit(slot, "one,");
    ASSERT_TRUE(WaitTaken(slot));
    ASSERT_TRUE(WaitConnections(1));
    printer.Send(0, "reply");
    ASSERT_TRUE(WaitForData(5));
    EXPECT_EQ(AllData(), "reply");
    EXPECT_EQ(slot->nRxLen.load(), 5u);  // a job leaves the count of the last receive
    Transmit(slot, "two");
    ASSERT_TRUE(WaitTaken(slot));
    ASSERT_TRUE(printer.WaitUntil([&] { return printer.Received(0) == "one,two"; }));
    EXPECT_EQ(printer.Connections(), 1);
    // Released during the job: the connection is shut down.
    manager.CloseAllConnections();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    EXPECT_TRUE(WaitClosed(0));
}

TEST(NetworkJobSocat, BurstsReachAPlainSocatListener) {
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    TempDir dir;
    const std::string file = dir.Path("received");
    const unsigned short port = FreeLoopbackPort();
    SocatProcess sink({"-u",
                       "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
                       "OPEN:" + file + ",creat,append"});
    ASSERT_TRUE(sink.WaitForLog("listening on"));
    SetNetworkPorts(port, port);
    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    RecordingWindow window;
    CONNECTION_REQUEST r;
    r.nType = CONN_NETWORK;
    r.strPort = "127.0.0.1";
    r.nMode = 2;
    r.nIdleTimeout = 0;
    r.hWndNotify = &window;
    CONNECTION_SLOT* slot = manager.OpenConnection(r);
    ASSERT_NE(slot, nullptr);
    auto fileText = [&] {
        std::ifstream in(file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    std::string expected;
    for (int burst = 0; burst < 2; ++burst) {
        const std::string bytes = "job " + std::to_string(burst) + ";";
        std::copy(bytes.begin(), bytes.end(), slot->TxBuf);
        slot->nTxLen = static_cast<std::uint32_t>(bytes.size());
        expected += bytes;
        ASSERT_TRUE(
            g_slotSignal.WaitFor(std::chrono::seconds(10), [&] { return slot->nTxLen == 0; }));
        // The bytes reach the file; the idle limit then closes the job's connection.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (fileText() != expected && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(fileText(), expected);
        // The idle limit closes the job's connection: socat's child for it ends.
        EXPECT_TRUE(
            sink.WaitForLogCount("exiting with status 0", burst + 1, std::chrono::seconds(15)));
    }
    // socat logs each connection it accepts: one per burst.
    EXPECT_EQ(sink.LogCount("accepting connection"), 2);
    manager.CloseAllConnections();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u);
}

}  // namespace
