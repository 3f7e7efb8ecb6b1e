// The USB send thread through the Win32 layer, against a named-pipe printer: whole files arrive
// byte for byte, a device that hangs up gives the write failure with the Windows error code, and
// stopping ends the thread and lets go of the device.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "connection/manager.h"
#include "connection/workers.h"
#include "support/pipe_device.h"
#include "support/recording_window.h"
#include "support/temp_file.h"

namespace {

class Win32UsbSendTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        SetUsbChunkPauseMs(1);
        std::snprintf(g_UsbPrinters[0].szName, sizeof g_UsbPrinters[0].szName, "Pipe Printer");
        std::snprintf(g_UsbPrinters[0].szPath, sizeof g_UsbPrinters[0].szPath, "%s",
                      device.Path().c_str());
        g_nUsbPrinters = 1;
    }
    void TearDown() override {
        manager.CloseAllConnections();
        EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        g_nUsbPrinters = 0;
        SetUsbChunkPauseMs(kUsbChunkPauseMs);
    }
    CONNECTION_SLOT* Open() {
        CONNECTION_REQUEST r;
        r.nType = CONN_USB;
        r.strPort = "Pipe Printer";
        r.hWndNotify = &window;
        return manager.OpenConnection(r);
    }
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

    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    PipeDevice device;
    RecordingWindow window;
};

TEST_F(Win32UsbSendTest, WholeFilesArriveByteForByte) {
    std::vector<std::uint8_t> all;
    for (std::size_t size : {std::size_t{0}, std::size_t{5000}, std::size_t{1} << 20}) {
        window.Clear();
        CloseOnDone();
        const auto bytes = PatternBytes(size, static_cast<unsigned>(size));
        TempFile file(bytes);
        CONNECTION_SLOT* slot = Open();
        ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
        platform::Handle h = StartTransfer(slot, file.Path());
        ASSERT_TRUE(window.WaitFor(WM_LINK_DONE, std::chrono::seconds(60))) << size;
        ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        platform::Close(h);
        const std::size_t chunks = (size + kUsbChunkSize - 1) / kUsbChunkSize;
        EXPECT_EQ(window.Count(WM_LINK_PROGRESS), chunks) << size;
        EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u) << g_strLinkError.Get();
        all.insert(all.end(), bytes.begin(), bytes.end());
        ASSERT_TRUE(device.WaitForBytes(all.size())) << size;
        EXPECT_TRUE(device.Received() == all) << size;
    }
    EXPECT_EQ(device.Openers(), 3);
}

TEST_F(Win32UsbSendTest, DeviceThatHangsUpGivesWriteFailureWithWindowsCode) {
    device.HangUpAfter(10000);
    TempFile file(PatternBytes(1 << 20));
    CONNECTION_SLOT* slot = Open();
    ASSERT_NE(slot, nullptr);
    platform::Handle h = StartTransfer(slot, file.Path());
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR, std::chrono::seconds(30)));
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    platform::Close(h);

    EXPECT_EQ(g_strLinkError.Get(),
              "Write failed with error code " + std::to_string(ERROR_PIPE_NOT_CONNECTED));
    EXPECT_EQ(slot->bActive.load(), 0);
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 1u);
    EXPECT_EQ(window.Count(WM_LINK_DONE), 0u);
    EXPECT_TRUE(window.Messages().back().posted);
}

TEST_F(Win32UsbSendTest, StoppingWhileWaitingLetsGoOfTheDevice) {
    CONNECTION_SLOT* slot = Open();
    ASSERT_NE(slot, nullptr);
    manager.CloseAllConnections();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(2)));
    EXPECT_TRUE(window.Messages().empty());
    platform::Handle again = platform::OpenDevice(device.Path());
    EXPECT_NE(again, platform::kInvalidHandle);
    platform::Close(again);
}

TEST_F(Win32UsbSendTest, ListedPrinterThatCannotBeOpenedIsNotFoundWithSystemText) {
    std::snprintf(g_UsbPrinters[0].szPath, sizeof g_UsbPrinters[0].szPath,
                  "\\\\.\\pipe\\pellmar-unplugged");
    EXPECT_EQ(Open(), nullptr);
    const std::string text = g_strLinkError.Get();
    const std::string head = "USB Printer <<Pipe Printer>> could not be found!";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_GT(text.size(), head.size() + 1);  // the system's reason follows
    EXPECT_EQ(g_ConnectionSlots[0].bActive.load(), 0);
    EXPECT_TRUE(window.WaitFor(WM_LINK_ERROR));
}

}  // namespace
