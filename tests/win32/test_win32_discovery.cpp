// Discovery through the Win32 layer: named-pipe printers named by the user are found after the
// third class's own interfaces, in order; a silent device is asked as often as the budget allows.
#include <gtest/gtest.h>

#include <cstring>

#include "connection/discovery.h"
#include "connection/manager.h"
#include "platform/enumerate.h"
#include "support/pipe_device.h"
#include "win32/identity_responder.h"

namespace {

class Win32DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override { std::memset(g_UsbPrinters, 0, sizeof g_UsbPrinters); }
    void TearDown() override {
        platform::SetUserDevicePaths({});
        g_nUsbPrinters = 0;
    }
    // The rows that stand for our named pipes, as "name|path".
    static std::vector<std::string> PipeRows() {
        std::vector<std::string> rows;
        for (int i = 0; i < g_nUsbPrinters; ++i)
            if (std::strstr(g_UsbPrinters[i].szPath, "pellmar-test"))
                rows.push_back(std::string(g_UsbPrinters[i].szName) + "|" +
                               g_UsbPrinters[i].szPath);
        return rows;
    }
};

TEST_F(Win32DiscoveryTest, ManagerFindsNamedPipePrintersInOrder) {
    PipeDevice first(AnswerIdentity("ACME", "LX-500"));
    PipeDevice second(AnswerIdentity("", "Jet 2", /*silentTimes=*/2));
    PipeDevice silent;
    platform::SetUserDevicePaths({first.Path(), second.Path(), silent.Path()});
    CConnectionManager manager;  // discovery runs in the constructor
    EXPECT_EQ(PipeRows(),
              (std::vector<std::string>{"ACME LX-500|" + first.Path(), " Jet 2|" + second.Path()}));
    EXPECT_EQ(first.Openers(), 1);
    EXPECT_EQ(second.Openers(), 3);  // silent twice, then it answers
    // Two unanswered queries were spent on the second printer: five are left for the last one.
    EXPECT_EQ(silent.Openers(), kDiscoveryBudget - 2);
}

TEST_F(Win32DiscoveryTest, PathThatCannotBeOpenedIsNotListed) {
    PipeDevice printer(AnswerIdentity("ACME", "LX-500"));
    platform::SetUserDevicePaths({printer.Path(), "\\\\.\\pipe\\pellmar-test-gone"});
    PlatformPrinterProbe probe;
    DiscoverUsbPrinters(probe);
    EXPECT_EQ(PipeRows(), (std::vector<std::string>{"ACME LX-500|" + printer.Path()}));
}

}  // namespace
