// Network connections through Winsock against loopback listeners: the job connection per burst
// of bytes, the session with data both ways, and a refused connection.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <memory>

#include "platform/socket.h"
#include "support/connection_test.h"
#include "support/tcp_listener.h"

namespace {

class Win32NetworkTest : public ConnectionTest {
protected:
    void TearDown() override {
        ConnectionTest::TearDown();
        SetNetworkPorts(kNetSessionPort, kNetJobPort);
    }
};

TEST_F(Win32NetworkTest, JobSendsEachBurstOnItsOwnConnection) {
    TcpListener printer;
    SetNetworkPorts(printer.Port(), printer.Port());
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 2, /*idle=*/0);
    ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
    Transmit(slot, "first job");
    ASSERT_TRUE(printer.WaitUntil([&] { return printer.AllReceived() == "first job"; }));
    // Idle past the limit: the job's connection is closed, and the next burst opens a new one.
    ASSERT_TRUE(printer.WaitUntil([&] { return printer.PeerClosed(0); }));
    Transmit(slot, "second job");
    ASSERT_TRUE(printer.WaitUntil([&] { return printer.Connections() == 2; }));
    ASSERT_TRUE(printer.WaitUntil([&] { return printer.Received(1) == "second job"; }));
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u) << g_strLinkError.Get();
}

TEST_F(Win32NetworkTest, SessionPassesDataBothWays) {
    TcpListener printer("READY");
    SetNetworkPorts(printer.Port(), printer.Port());
    CollectData();
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 1);
    ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
    ASSERT_TRUE(printer.WaitUntil([&] { return AllData() == "READY"; }));
    Transmit(slot, "status?");
    ASSERT_TRUE(printer.WaitUntil([&] { return printer.AllReceived() == "status?"; }));
    manager.CloseAllConnections();
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    EXPECT_TRUE(printer.WaitUntil([&] { return printer.PeerClosed(0); }));
}

TEST_F(Win32NetworkTest, RefusedConnectionReportsTheSystemText) {
    std::uint16_t port = 0;
    {
        TcpListener gone;
        port = gone.Port();
    }
    SetNetworkPorts(port, port);
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 1);
    ASSERT_NE(slot, nullptr);
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR));
    EXPECT_EQ(g_strLinkError.Get(), platform::ErrorText(WSAECONNREFUSED));
    EXPECT_TRUE(window.Messages().back().posted);
}

}  // namespace
