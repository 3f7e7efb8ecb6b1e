// End to end on Windows with the printer emulator on named pipes: discovery through the user's
// device paths, whole transfers, a printer held by another program, a printer that unplugs, and
// a network job to the emulator's loopback port.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "connection/manager.h"
#include "connection/workers.h"
#include "platform/enumerate.h"
#include "printer_emulator.h"
#include "support/recording_window.h"
#include "support/temp_file.h"

namespace {

using namespace std::chrono_literals;

class Win32EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitForWorkers(5s));
        SetUsbChunkPauseMs(0);
    }
    void TearDown() override {
        manager.CloseAllConnections();
        EXPECT_TRUE(WaitForWorkers(10s));
        platform::SetUserDevicePaths({});
        SetUsbChunkPauseMs(kUsbChunkPauseMs);
        SetNetworkPorts(kNetSessionPort, kNetJobPort);
        g_nUsbPrinters = 0;
    }
    emu::PrinterEmulator& Add(emu::EmulatorOptions o) {
        emulators.push_back(std::make_unique<emu::PrinterEmulator>(o));
        EXPECT_TRUE(emulators.back()->Start()) << emulators.back()->Error();
        return *emulators.back();
    }
    emu::PrinterEmulator& Add(std::string text1, std::string text3, int silent = 0) {
        emu::EmulatorOptions o;
        o.protocol.text1 = std::move(text1);
        o.protocol.text3 = std::move(text3);
        o.protocol.silentQueries = silent;
        return Add(o);
    }
    void Discover() {
        std::vector<std::string> paths;
        for (auto& e : emulators) paths.push_back(e->DevicePath());
        platform::SetUserDevicePaths(paths);
        manager.EnumerateUsbPrinters();
    }
    // The rows of our emulators (a real Windows machine may list its own printers first).
    std::vector<std::string> Rows() const {
        std::vector<std::string> v;
        for (int i = 0; i < g_nUsbPrinters; ++i)
            for (const auto& e : emulators)
                if (e->DevicePath() == g_UsbPrinters[i].szPath)
                    v.push_back(g_UsbPrinters[i].szName);
        return v;
    }
    CONNECTION_SLOT* Open(std::int32_t type, const std::string& name, std::int32_t mode = 0) {
        CONNECTION_REQUEST r;
        r.nType = type;
        r.strPort = name;
        r.nMode = mode;
        r.hWndNotify = &window;
        return manager.OpenConnection(r);
    }
    platform::Handle StartTransfer(CONNECTION_SLOT* slot, const TempFile& file) {
        window.Clear();
        platform::Handle h = platform::OpenFileForReading(file.Path());
        slot->hSourceFile.store(h, std::memory_order_release);
        slot->bSending = 1;
        return h;
    }

    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    RecordingWindow window;
    std::vector<std::unique_ptr<emu::PrinterEmulator>> emulators;
};

TEST_F(Win32EmulatorTest, DiscoveryListsEmulatorsInOrder) {
    Add("Acme", "Laser A");
    auto& late = Add("Acme", "Laser B", 2);
    auto& silent = Add("Never", "Answers", 1000);
    Discover();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Acme Laser A", "Acme Laser B"}));
    EXPECT_EQ(late.IdentifyQueries(), 3);
    EXPECT_EQ(silent.IdentifyQueries(), 5);
    EXPECT_TRUE(window.Messages().empty());
}

TEST_F(Win32EmulatorTest, RecordedBytesEqualTheFile) {
    auto& printer = Add("Acme", "Laser");
    Discover();
    ASSERT_EQ(Rows(), (std::vector<std::string>{"Acme Laser"}));
    std::vector<std::uint8_t> expected;
    for (std::size_t size : {0u, 1u, 4096u, 4097u, 1u << 20}) {
        SCOPED_TRACE(size);
        const auto bytes = PatternBytes(size, static_cast<unsigned>(size) + 3);
        TempFile file(bytes);
        window.onSend = [this](const RecordedMessage& m) {
            if (m.message == WM_LINK_DONE)
                manager.CloseAllConnections();
        };
        CONNECTION_SLOT* slot = Open(CONN_USB, "Acme Laser");
        ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
        platform::Handle h = StartTransfer(slot, file);
        ASSERT_TRUE(window.WaitFor(WM_LINK_DONE, 60s));
        ASSERT_TRUE(WaitForWorkers(10s));
        platform::Close(h);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        ASSERT_TRUE(printer.WaitForRecorded(expected.size(), 20s));
        ASSERT_TRUE(printer.Recorded() == expected);
    }
}

TEST_F(Win32EmulatorTest, PrinterHeldByAnotherProgramIsBusy) {
    auto& printer = Add("Busy", "Printer");
    Discover();
    ASSERT_EQ(Rows(), (std::vector<std::string>{"Busy Printer"}));
    platform::Handle holder = platform::OpenDevice(printer.DevicePath());
    ASSERT_NE(holder, platform::kInvalidHandle);
    EXPECT_EQ(platform::OpenDevice(printer.DevicePath()), platform::kInvalidHandle);
    EXPECT_EQ(platform::LastError(), ERROR_PIPE_BUSY);
    EXPECT_EQ(Open(CONN_USB, "Busy Printer"), nullptr);
    const std::string text = g_strLinkError.Get();
    EXPECT_EQ(text.rfind("USB Printer <<Busy Printer>> could not be found!\n", 0), 0u) << text;
    EXPECT_NE(text.find("another program"), std::string::npos) << text;
    platform::Close(holder);
    // Let go of, it opens again.
    platform::Handle again = platform::OpenDevice(printer.DevicePath());
    EXPECT_NE(again, platform::kInvalidHandle) << platform::LastError();
    platform::Close(again);
}

TEST_F(Win32EmulatorTest, PrinterThatUnplugsFailsTheTransferWithItsCode) {
    emu::EmulatorOptions o;
    o.hangUpAfter = 5000;
    auto& printer = Add(o);
    Discover();
    ASSERT_EQ(Rows(), (std::vector<std::string>{"Emulated Printer"}));
    TempFile file(PatternBytes(1 << 20));
    CONNECTION_SLOT* slot = Open(CONN_USB, "Emulated Printer");
    ASSERT_NE(slot, nullptr);
    platform::Handle h = StartTransfer(slot, file);
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR, 30s));
    EXPECT_TRUE(WaitForWorkers(10s));
    platform::Close(h);
    EXPECT_EQ(g_strLinkError.Get(),
              "Write failed with error code " + std::to_string(ERROR_PIPE_NOT_CONNECTED));
    EXPECT_EQ(slot->bActive.load(), 0);
    EXPECT_EQ(printer.RecordedSize(), 5000u);
    EXPECT_TRUE(printer.HungUp());
}

TEST_F(Win32EmulatorTest, NetworkJobReachesTheEmulatorsPort) {
    emu::EmulatorOptions o;
    o.tcpPort = 0;
    o.protocol.recordAll = true;
    auto& printer = Add(o);
    ASSERT_GT(printer.TcpPort(), 0);
    const auto port = static_cast<std::uint16_t>(printer.TcpPort());
    SetNetworkPorts(port, port);
    CONNECTION_SLOT* slot = Open(CONN_NETWORK, "127.0.0.1", 2);
    ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
    const std::string job = "%-12345X@PJL JOB\r\n";
    std::copy(job.begin(), job.end(), slot->TxBuf);
    slot->nTxLen = static_cast<std::uint32_t>(job.size());
    ASSERT_TRUE(printer.WaitForRecorded(job.size(), 10s));
    const auto got = printer.Recorded();
    EXPECT_EQ(std::string(got.begin(), got.end()), job);
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u) << g_strLinkError.Get();
}

}  // namespace
