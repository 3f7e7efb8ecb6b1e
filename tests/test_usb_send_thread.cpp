// The USB send thread against a pseudo-terminal stand-in device: chunks, progress, done, write
// failures, stopping, and successive transfers.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "connection/manager.h"
#include "connection/workers.h"
#include "support/pty_device.h"
#include "support/recording_window.h"
#include "support/temp_file.h"

namespace {

class UsbSendTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        SetUsbChunkPauseMs(kUsbChunkPauseMs);
        std::snprintf(g_UsbPrinters[0].szName, sizeof g_UsbPrinters[0].szName, "Test Printer");
        std::snprintf(g_UsbPrinters[0].szPath, sizeof g_UsbPrinters[0].szPath, "%s",
                      device.Path().c_str());
        g_nUsbPrinters = 1;
    }
    void TearDown() override {
        manager.CloseAllConnections();
        EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        g_nUsbPrinters = 0;
    }

    CONNECTION_SLOT* Open() {
        CONNECTION_REQUEST r;
        r.nType = CONN_USB;
        r.strPort = "Test Printer";
        r.nMode = 2;
        r.nIdleTimeout = 20;
        r.hWndNotify = &window;
        return manager.OpenConnection(r);
    }
    // Hands the file to the worker the way the window does: handle first, then the flag.
    static platform::Handle StartTransfer(CONNECTION_SLOT* slot, const std::string& path) {
        platform::Handle h = platform::OpenFileForReading(path);
        slot->hSourceFile.store(h, std::memory_order_release);
        slot->bSending = 1;
        return h;
    }
    void CloseOnDone() {
        window.onSend = [this](const RecordedMessage& m) {
            if (m.message == WM_LINK_DONE)
                manager.CloseAllConnections();
        };
    }
    std::vector<std::int32_t> ProgressTotals() const {
        std::vector<std::int32_t> v;
        for (const auto& m : window.Messages())
            if (m.message == WM_LINK_PROGRESS)
                v.push_back(m.nBytesSent);
        return v;
    }

    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    PtyDevice device;
    RecordingWindow window;
};

struct SizeCase {
    std::size_t size;
    std::vector<std::int32_t> progress;
};

TEST_F(UsbSendTest, StreamsWholeFileWithProgressThenDone) {
    device.StartCollecting();
    const SizeCase cases[] = {{0, {}}, {5000, {4096, 5000}}, {8192, {4096, 8192}}};
    std::size_t before = 0;
    for (const auto& c : cases) {
        window.Clear();
        CloseOnDone();
        auto bytes = PatternBytes(c.size, static_cast<unsigned>(c.size));
        TempFile file(bytes);
        CONNECTION_SLOT* slot = Open();
        ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
        EXPECT_EQ(slot, &g_ConnectionSlots[0]);
        platform::Handle h = StartTransfer(slot, file.Path());
        ASSERT_TRUE(window.WaitFor(WM_LINK_DONE)) << c.size;
        ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        platform::Close(h);

        EXPECT_EQ(ProgressTotals(), c.progress) << c.size;
        auto msgs = window.Messages();
        ASSERT_FALSE(msgs.empty());
        const RecordedMessage& done = msgs.back();
        EXPECT_EQ(done.message, WM_LINK_DONE);
        EXPECT_FALSE(done.posted);
        EXPECT_EQ(done.lParam, slot);
        EXPECT_EQ(done.wParam, 0u);
        EXPECT_EQ(done.nBytesSent, 0);
        EXPECT_EQ(done.bSending, 0);
        for (const auto& m : msgs) EXPECT_FALSE(m.posted);

        ASSERT_TRUE(device.WaitForBytes(before + c.size));
        auto received = device.Received();
        EXPECT_EQ(
            std::vector<std::uint8_t>(received.begin() + static_cast<long>(before), received.end()),
            bytes)
            << c.size;
        before = received.size();
    }
}

TEST_F(UsbSendTest, DeviceThatHangsUpGivesWriteFailure) {
    device.StartCollecting(/*hangUpAfter=*/10000);
    CloseOnDone();
    TempFile file(PatternBytes(1 << 20));
    CONNECTION_SLOT* slot = Open();
    ASSERT_NE(slot, nullptr);
    platform::Handle h = StartTransfer(slot, file.Path());
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR));
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    platform::Close(h);

    EXPECT_EQ(g_strLinkError.Get(), "Write failed with error code 5");  // EIO
    EXPECT_EQ(slot->bActive.load(), 0);
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 1u);
    EXPECT_EQ(window.Count(WM_LINK_DONE), 0u);
    auto msgs = window.Messages();
    EXPECT_TRUE(msgs.back().posted);
    EXPECT_EQ(msgs.back().lParam, nullptr);
}

TEST_F(UsbSendTest, ClearingActiveWhileWaitingEndsThread) {
    CONNECTION_SLOT* slot = Open();
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(RunningWorkers(), 1);
    manager.CloseAllConnections();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(2)));
    EXPECT_TRUE(window.Messages().empty());
    // The thread let go of the device: it opens again at once.
    platform::Handle again = platform::OpenDevice(device.Path());
    EXPECT_NE(again, platform::kInvalidHandle);
    platform::Close(again);
}

TEST_F(UsbSendTest, AlreadyInactiveAtStartDoesNothing) {
    device.StartCollecting();
    TempFile file(PatternBytes(100));
    CONNECTION_SLOT& slot = g_ConnectionSlots[9];
    slot.bActive = 0;
    slot.hWndNotify = &window;
    slot.hDevice.store(platform::OpenDevice(device.Path()));
    slot.hSourceFile.store(platform::OpenFileForReading(file.Path()));
    slot.bSending = 1;
    EXPECT_EQ(UsbSendThread(&slot), 0u);
    platform::Close(slot.hSourceFile.load());
    slot.bSending = 0;
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_FALSE(device.WaitForBytes(1, std::chrono::milliseconds(100)));
}

TEST_F(UsbSendTest, DoneHandlerThatKeepsSlotAllowsSecondTransfer) {
    device.StartCollecting();
    auto first = PatternBytes(5000, 7), second = PatternBytes(300, 8);
    TempFile f1(first), f2(second);
    CONNECTION_SLOT* slot = Open();
    ASSERT_NE(slot, nullptr);
    platform::Handle h1 = StartTransfer(slot, f1.Path());
    ASSERT_TRUE(window.WaitFor(WM_LINK_DONE));
    EXPECT_EQ(slot->bActive.load(), 1);
    EXPECT_EQ(RunningWorkers(), 1);

    window.Clear();
    CloseOnDone();
    platform::Handle h2 = StartTransfer(slot, f2.Path());
    ASSERT_TRUE(window.WaitFor(WM_LINK_DONE));
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    platform::Close(h1);
    platform::Close(h2);
    EXPECT_EQ(ProgressTotals(), std::vector<std::int32_t>{300});
    first.insert(first.end(), second.begin(), second.end());
    ASSERT_TRUE(device.WaitForBytes(first.size()));
    EXPECT_EQ(device.Received(), first);
}

TEST_F(UsbSendTest, StoppingMidTransferEndsWithoutDone) {
    device.StartCollecting();
    SetUsbChunkPauseMs(5);
    TempFile file(PatternBytes(4 << 20));
    CONNECTION_SLOT* slot = Open();
    ASSERT_NE(slot, nullptr);
    window.onSend = [this](const RecordedMessage& m) {
        if (m.message == WM_LINK_PROGRESS && m.nBytesSent == 8192)
            manager.CloseAllConnections();
    };
    platform::Handle h = StartTransfer(slot, file.Path());
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    platform::Close(h);
    EXPECT_EQ(window.Count(WM_LINK_DONE), 0u);
    EXPECT_EQ(window.Count(WM_LINK_PROGRESS), 2u);
    EXPECT_TRUE(device.WaitForBytes(8192));
}

}  // namespace
