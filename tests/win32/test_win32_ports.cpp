// Parallel and serial connections on Windows over named pipes named by PELLMAR_LPT1/PELLMAR_COM1:
// the channel handshake with the printer emulator, data both ways on a serial port, and workers
// that end when the slot is released (their reads follow the port time-outs).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "printer_emulator.h"
#include "support/connection_test.h"
#include "support/pipe_device.h"

namespace {

class Win32PortTest : public ConnectionTest {
protected:
    void TearDown() override {
        ConnectionTest::TearDown();
        _putenv("PELLMAR_LPT1=");
        _putenv("PELLMAR_COM1=");
    }
    static void UseDevice(const char* variable, const std::string& path) {
        ASSERT_EQ(_putenv((std::string(variable) + "=" + path).c_str()), 0);
    }
};

TEST_F(Win32PortTest, ParallelHandshakeSelectsTheIpdsChannelOfTheEmulator) {
    emu::EmulatorOptions o;
    ASSERT_TRUE(emu::ParseChannels("1:PCL,7:IPDS Emulation", &o.protocol.channels));
    emu::PrinterEmulator printer(o);
    ASSERT_TRUE(printer.Start()) << printer.Error();
    UseDevice("PELLMAR_LPT1", printer.DevicePath());
    CONNECTION_SLOT* slot = Open(CONN_PARALLEL, "LPT1:", 1);
    ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
    EXPECT_EQ(slot->nChannel.load(), 7);
    // The select packet is on its way to the printer: give it a bounded while to arrive.
    for (int i = 0; i < 500 && printer.ChannelSelected() != 7; ++i) platform::SleepMs(10);
    EXPECT_EQ(printer.ChannelSelected(), 7);
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u) << g_strLinkError.Get();
    // The reader's reads return at once, so the release ends it.
    manager.CloseAllConnections();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
}

TEST_F(Win32PortTest, SerialPortPassesDataBothWays) {
    PipeDevice echo([](std::vector<std::uint8_t>& pending) {
        std::vector<std::uint8_t> reply;
        reply.swap(pending);
        return reply;
    });
    UseDevice("PELLMAR_COM1", echo.Path());
    CollectData();
    CONNECTION_SLOT* slot = Open(CONN_SERIAL, "COM1:", 0, 2);
    ASSERT_NE(slot, nullptr) << g_strLinkError.Get();
    Transmit(slot, "status?");
    ASSERT_TRUE(WaitTaken(slot));
    ASSERT_TRUE(echo.WaitForBytes(7));
    const auto received = echo.Received();
    EXPECT_EQ(std::string(received.begin(), received.end()), "status?");
    ASSERT_TRUE(WaitForData(7));
    EXPECT_EQ(AllData(), "status?");
    manager.CloseAllConnections();
    EXPECT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
    EXPECT_EQ(window.Count(WM_LINK_ERROR), 0u) << g_strLinkError.Get();
}

TEST_F(Win32PortTest, PortThatCannotBeOpenedGivesTheSystemText) {
    const std::string gone = "\\\\.\\pipe\\pellmar-test-no-port";
    for (const char* name : {"LPT1:", "COM1:"}) {
        SCOPED_TRACE(name);
        UseDevice(name[0] == 'L' ? "PELLMAR_LPT1" : "PELLMAR_COM1", gone);
        window.Clear();
        EXPECT_EQ(Open(name[0] == 'L' ? CONN_PARALLEL : CONN_SERIAL, name, 1), nullptr);
        EXPECT_EQ(g_strLinkError.Get(), platform::ErrorText(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(window.Count(WM_LINK_ERROR), 1u);
        EXPECT_EQ(g_ConnectionSlots[0].bActive.load(), 0);
    }
}

}  // namespace
