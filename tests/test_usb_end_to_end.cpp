// End to end with emulated printers on real pseudo-terminals: discovery through the user's device
// paths, OpenConnection by display name, the file streamed by the USB send thread and compared
// with what the printer recorded.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "connection/discovery.h"
#include "connection/manager.h"
#include "connection/open_connection.h"
#include "connection/workers.h"
#include "platform/enumerate.h"
#include "printer_emulator.h"
#include "support/recording_window.h"
#include "support/temp_file.h"

namespace {

using namespace std::chrono_literals;

class UsbEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitForWorkers(5s));
        ::unsetenv("PELLMAR_DEVICES");
        SetUsbChunkPauseMs(kUsbChunkPauseMs);
    }
    void TearDown() override {
        manager.CloseAllConnections();
        EXPECT_TRUE(WaitForWorkers(10s));
        platform::SetUserDevicePaths({});
        g_nUsbPrinters = 0;
    }
    emu::PrinterEmulator& AddEmulator(std::string text1, std::string text3, int silent = 0) {
        emu::EmulatorOptions o;
        o.protocol.text1 = std::move(text1);
        o.protocol.text3 = std::move(text3);
        o.protocol.silentQueries = silent;
        emulators.push_back(std::make_unique<emu::PrinterEmulator>(o));
        EXPECT_TRUE(emulators.back()->Start()) << emulators.back()->Error();
        return *emulators.back();
    }
    // Attaches the first `named` emulators as --device paths and the rest through
    // PELLMAR_DEVICES, then discovers.
    void Discover(std::size_t named = 100) {
        std::vector<std::string> paths;
        std::string env;
        for (std::size_t i = 0; i < emulators.size(); ++i) {
            if (i < named)
                paths.push_back(emulators[i]->DevicePath());
            else
                env += (env.empty() ? "" : ":") + emulators[i]->DevicePath();
        }
        platform::SetUserDevicePaths(paths);
        if (!env.empty())
            ::setenv("PELLMAR_DEVICES", env.c_str(), 1);
        manager.EnumerateUsbPrinters();
        ::unsetenv("PELLMAR_DEVICES");
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> v;
        for (int i = 0; i < g_nUsbPrinters; ++i) v.emplace_back(g_UsbPrinters[i].szName);
        return v;
    }
    CONNECTION_SLOT* Open(const std::string& name) {
        CONNECTION_REQUEST r;
        r.nType = CONN_USB;
        r.strPort = name;
        r.hWndNotify = &window;
        return manager.OpenConnection(r);
    }
    // Streams the file through an open slot as the window does, and waits for the end.
    void Send(CONNECTION_SLOT* slot, const TempFile& file) {
        window.Clear();
        window.onSend = [this](const RecordedMessage& m) {
            if (m.message == WM_LINK_DONE)
                manager.CloseAllConnections();
        };
        platform::Handle h = platform::OpenFileForReading(file.Path());
        slot->hSourceFile.store(h, std::memory_order_release);
        slot->bSending = 1;
        EXPECT_TRUE(window.WaitFor(WM_LINK_DONE, 60s));
        EXPECT_TRUE(WaitForWorkers(10s));
        platform::Close(h);
    }

    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    RecordingWindow window;
    std::vector<std::unique_ptr<emu::PrinterEmulator>> emulators;
};

TEST_F(UsbEndToEnd, DiscoveryListsEmulatorsInOrder) {
    AddEmulator("Acme", "Laser A");
    auto& late = AddEmulator("Acme", "Laser B", 2);  // answers the third query
    AddEmulator("", "Bare");
    auto& silent = AddEmulator("Never", "Answers", 1000);
    g_strLinkError.Set("untouched");
    Discover(2);  // the last two come from PELLMAR_DEVICES, after the named ones
    EXPECT_EQ(Names(), (std::vector<std::string>{"Acme Laser A", "Acme Laser B", " Bare"}));
    for (int i = 0; i < g_nUsbPrinters; ++i)
        EXPECT_EQ(g_UsbPrinters[i].szPath, emulators[static_cast<std::size_t>(i)]->DevicePath());
    EXPECT_EQ(late.IdentifyQueries(), 3);
    EXPECT_EQ(silent.IdentifyQueries(), 5);        // what the two misses left of the budget
    EXPECT_EQ(g_strLinkError.Get(), "untouched");  // discovery says nothing
    EXPECT_EQ(window.Messages().size(), 0u);
}

TEST_F(UsbEndToEnd, RecordedBytesEqualTheFile) {
    auto& printer = AddEmulator("Acme", "Laser");
    Discover();
    ASSERT_EQ(Names(), (std::vector<std::string>{"Acme Laser"}));
    std::vector<std::uint8_t> expected;
    for (std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 5000u, 1u << 20}) {
        SCOPED_TRACE(size);
        auto bytes = PatternBytes(size, static_cast<unsigned>(size) + 7);
        TempFile file(bytes);
        CONNECTION_SLOT* slot = Open("Acme Laser");
        ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
        EXPECT_EQ(slot, &g_ConnectionSlots[0]);
        Send(slot, file);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        ASSERT_TRUE(printer.WaitForRecorded(expected.size(), 20s));
        ASSERT_EQ(printer.Recorded(), expected);
    }
}

TEST_F(UsbEndToEnd, NamesMustMatchExactlyAndTheFirstRowWins) {
    auto& first = AddEmulator("Twin", "Printer");
    auto& second = AddEmulator("Twin", "Printer");
    Discover();
    ASSERT_EQ(Names(), (std::vector<std::string>{"Twin Printer", "Twin Printer"}));
    for (const char* wrong : {"twin printer", "Twin Printer ", "Twin Printe", ""}) {
        window.Clear();
        EXPECT_EQ(Open(wrong), nullptr);
        EXPECT_EQ(g_strLinkError.Get(),
                  std::string("USB Printer <<") + wrong + ">> could not be found!");
        EXPECT_EQ(window.Count(WM_LINK_ERROR), 1u);
        EXPECT_EQ(g_ConnectionSlots[0].bActive.load(), 0);
    }
    CONNECTION_SLOT* slot = Open("Twin Printer");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot, &g_ConnectionSlots[0]);  // the failed opens left it free
    EXPECT_EQ(slot->strDevicePath, first.DevicePath());
    TempFile file(PatternBytes(100));
    Send(slot, file);
    EXPECT_TRUE(first.WaitForRecorded(100, 10s));
    EXPECT_EQ(second.RecordedSize(), 0u);
}

TEST_F(UsbEndToEnd, ListedPrinterThatCannotBeOpenedSaysWhy) {
    auto& printer = AddEmulator("Busy", "Printer");
    Discover();
    ASSERT_EQ(g_nUsbPrinters, 1);
    // Another program holds the printer.
    platform::Handle holder = platform::OpenDevice(printer.DevicePath());
    ASSERT_NE(holder, platform::kInvalidHandle);
    EXPECT_EQ(Open("Busy Printer"), nullptr);
    const std::string text = g_strLinkError.Get();
    const std::string first = "USB Printer <<Busy Printer>> could not be found!";
    ASSERT_GT(text.size(), first.size() + 1);
    EXPECT_EQ(text.substr(0, first.size() + 1), first + "\n");
    EXPECT_NE(text.find("another program"), std::string::npos) << text;
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 1u);
    for (const auto& s : g_ConnectionSlots) EXPECT_EQ(s.bActive.load(), 0);

    // Discovery passes over a busy device silently.
    g_strLinkError.Set("untouched");
    manager.EnumerateUsbPrinters();
    EXPECT_EQ(g_nUsbPrinters, 0);
    EXPECT_EQ(g_strLinkError.Get(), "untouched");
    platform::Close(holder);
}

TEST_F(UsbEndToEnd, PrinterThatHangsUpFailsTheTransfer) {
    emu::EmulatorOptions o;
    o.hangUpAfter = 5000;
    emulators.push_back(std::make_unique<emu::PrinterEmulator>(o));
    ASSERT_TRUE(emulators.back()->Start());
    Discover();
    ASSERT_EQ(Names(), (std::vector<std::string>{"Emulated Printer"}));
    TempFile file(PatternBytes(1 << 20));
    CONNECTION_SLOT* slot = Open("Emulated Printer");
    ASSERT_NE(slot, nullptr);
    platform::Handle h = platform::OpenFileForReading(file.Path());
    slot->hSourceFile.store(h, std::memory_order_release);
    slot->bSending = 1;
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR, 30s));
    EXPECT_EQ(g_strLinkError.Get().rfind("Write failed with error code", 0), 0u);
    EXPECT_TRUE(WaitForWorkers(10s));
    EXPECT_EQ(slot->bActive.load(), 0);
    EXPECT_EQ(emulators.back()->RecordedSize(), 5000u);
    platform::Close(h);
}

}  // namespace

namespace {

TEST_F(UsbEndToEnd, SlowPrinterStillGetsEveryByte) {
    emu::EmulatorOptions o;
    o.acceptDelayMs = 15;  // pauses after every block it reads: the writer has to wait
    emulators.push_back(std::make_unique<emu::PrinterEmulator>(o));
    ASSERT_TRUE(emulators.back()->Start());
    Discover();
    ASSERT_EQ(g_nUsbPrinters, 1);
    auto bytes = PatternBytes(96 * 1024, 11);
    TempFile file(bytes);
    CONNECTION_SLOT* slot = Open("Emulated Printer");
    ASSERT_NE(slot, nullptr);
    Send(slot, file);
    ASSERT_TRUE(emulators.back()->WaitForRecorded(bytes.size(), 30s));
    EXPECT_EQ(emulators.back()->Recorded(), bytes);
}

TEST(DeviceOpenReason, NamesTheCauseAndWhatToDo) {
    struct Case {
        int code;
        const char* hint;
    };
    for (const Case& c :
         {Case{EACCES, "lp group"}, Case{EBUSY, "another program"}, Case{ENOENT, ""}}) {
        const std::string reason = DeviceOpenReason(c.code);
        EXPECT_NE(reason.find(platform::ErrorText(c.code)), std::string::npos) << reason;
        EXPECT_NE(reason.find(c.hint), std::string::npos) << reason;
    }
}

}  // namespace
