// The connection table: claiming slots, refusals, CloseAllConnections and the error text.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "connection/manager.h"
#include "connection/workers.h"
#include "support/recording_window.h"

namespace {

class SlotsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5))); }
    void TearDown() override {
        manager.CloseAllConnections();
        g_nUsbPrinters = 0;
    }
    CONNECTION_REQUEST Request(std::int32_t type) {
        CONNECTION_REQUEST r;
        r.nType = type;
        r.strPort = "nowhere";
        r.hWndNotify = &window;
        return r;
    }
    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    RecordingWindow window;
};

TEST_F(SlotsTest, MessageValues) {
    EXPECT_EQ(WM_LINK_DATA, 0x800Bu);
    EXPECT_EQ(WM_LINK_ERROR, 0x800Cu);
    EXPECT_EQ(WM_LINK_PROGRESS, 0x800Du);
    EXPECT_EQ(WM_LINK_DONE, 0x800Eu);
    EXPECT_EQ(CONN_PARALLEL, 1);
    EXPECT_EQ(CONN_NETWORK, 2);
    EXPECT_EQ(CONN_USB, 3);
    EXPECT_EQ(CONN_SERIAL, 4);
}

TEST_F(SlotsTest, InvalidKindFailsAndFreesItsSlot) {
    for (std::int32_t type : {0, 5, -1}) {
        window.Clear();
        EXPECT_EQ(manager.OpenConnection(Request(type)), nullptr);
        EXPECT_EQ(g_strLinkError.Get(), "Invalid connection type!");
        ASSERT_EQ(window.Count(WM_LINK_ERROR), 1u);
        EXPECT_TRUE(window.Messages()[0].posted);
        EXPECT_EQ(g_ConnectionSlots[0].bActive.load(), 0);
    }
}

TEST_F(SlotsTest, AllSlotsInUseRefusesWithoutTouchingThem) {
    for (auto& s : g_ConnectionSlots) s.bActive = 1;
    std::uint32_t claims[kSlotCount];
    for (int i = 0; i < kSlotCount; ++i) claims[i] = g_ConnectionSlots[i].nClaim.load();
    EXPECT_EQ(manager.OpenConnection(Request(CONN_USB)), nullptr);
    EXPECT_EQ(g_strLinkError.Get(), "Too Many Connections!");
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 1u);
    for (int i = 0; i < kSlotCount; ++i) {
        EXPECT_EQ(g_ConnectionSlots[i].bActive.load(), 1);
        EXPECT_EQ(g_ConnectionSlots[i].nClaim.load(), claims[i]);
    }
    manager.CloseAllConnections();
    for (auto& s : g_ConnectionSlots) EXPECT_EQ(s.bActive.load(), 0);
}

TEST_F(SlotsTest, CloseAllSleepsEvenWithNothingOpen) {
    auto t0 = std::chrono::steady_clock::now();
    manager.CloseAllConnections();
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(kCloseAllSettleMs));
}

TEST_F(SlotsTest, TwoFailuresBeforeHandlingShowTheSecondText) {
    manager.OpenConnection(Request(0));
    g_nUsbPrinters = 0;
    manager.OpenConnection(Request(CONN_USB));
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 2u);
    EXPECT_EQ(g_strLinkError.Get(), "USB Printer <<nowhere>> could not be found!");
}

TEST(LinkErrorText, StaysWholeWhileReplaced) {
    const std::string a(300, 'a'), b(700, 'b');
    g_strLinkError.Set(a);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) g_strLinkError.Set(i % 2 ? a : b);
    });
    for (int i = 0; i < 20000; ++i) {
        std::string s = g_strLinkError.Get();
        ASSERT_TRUE(s == a || s == b);
    }
    stop = true;
    writer.join();
}

}  // namespace
