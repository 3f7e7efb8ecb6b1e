// Opening parallel and serial ports: the accepted names, the device each name stands for, and the
// texts of the refusals and failures.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "platform/ports.h"
#include "support/connection_test.h"
#include "support/pty_device.h"

namespace {

struct NodeCase {
    const char* name;
    const char* variable;
    const char* defaultNode;
};

TEST(PortDevicePath, DefaultNodesAndEnvironmentOverrides) {
    const NodeCase cases[] = {{"LPT1:", "PELLMAR_LPT1", "/dev/lp0"},
                              {"LPT2:", "PELLMAR_LPT2", "/dev/lp1"},
                              {"COM1:", "PELLMAR_COM1", "/dev/ttyS0"},
                              {"COM2:", "PELLMAR_COM2", "/dev/ttyS1"}};
    for (const auto& c : cases) {
        ::unsetenv(c.variable);
        EXPECT_EQ(platform::PortDevicePath(c.name), c.defaultNode) << c.name;
        ::setenv(c.variable, "", 1);
        EXPECT_EQ(platform::PortDevicePath(c.name), c.defaultNode) << c.name << " (empty)";
        ::setenv(c.variable, "/tmp/other-node", 1);
        EXPECT_EQ(platform::PortDevicePath(c.name), "/tmp/other-node") << c.name;
        ::unsetenv(c.variable);
    }
    // Names are not mapped loosely.
    EXPECT_EQ(platform::PortDevicePath("lpt1:"), "lpt1:");
    EXPECT_EQ(platform::PortDevicePath("COM3:"), "COM3:");
}

class PortOpenTest : public ConnectionTest {};

struct RefusalCase {
    std::int32_t type;
    const char* port;
    const char* text;
};

TEST_F(PortOpenTest, NamesOtherThanTheFourAreRefusedAndLeaveTheSlotFree) {
    PtyDevice device;  // a real node behind every name, so only the name can be the reason
    for (const char* v : {"PELLMAR_LPT1", "PELLMAR_LPT2", "PELLMAR_COM1", "PELLMAR_COM2"})
        ::setenv(v, device.Path().c_str(), 1);
    const RefusalCase cases[] = {
        {CONN_PARALLEL, "lpt1:", "Invalid Parallel Port Name"},
        {CONN_PARALLEL, "LPT1", "Invalid Parallel Port Name"},
        {CONN_PARALLEL, "LPT3:", "Invalid Parallel Port Name"},
        {CONN_PARALLEL, "COM1:", "Invalid Parallel Port Name"},
        {CONN_PARALLEL, " LPT1:", "Invalid Parallel Port Name"},
        {CONN_PARALLEL, "", "Invalid Parallel Port Name"},
        {CONN_SERIAL, "com2:", "Invalid COM port name."},
        {CONN_SERIAL, "COM1", "Invalid COM port name."},
        {CONN_SERIAL, "COM3:", "Invalid COM port name."},
        {CONN_SERIAL, "LPT1:", "Invalid COM port name."},
        {CONN_SERIAL, "", "Invalid COM port name."},
    };
    for (const auto& c : cases) {
        window.Clear();
        EXPECT_EQ(Open(c.type, c.port), nullptr) << c.port;
        auto messages = window.Messages();
        ASSERT_EQ(messages.size(), 1u) << c.port;
        EXPECT_EQ(messages[0].message, WM_LINK_ERROR);
        EXPECT_TRUE(messages[0].posted);
        EXPECT_EQ(messages[0].lParam, nullptr);
        EXPECT_EQ(messages[0].error, c.text) << c.port;
        EXPECT_EQ(g_ConnectionSlots[0].bActive.load(), 0) << c.port;
    }
    EXPECT_EQ(RunningWorkers(), 0);
}

TEST_F(PortOpenTest, PortThatCannotBeOpenedGivesTheSystemsText) {
    ::setenv("PELLMAR_LPT2", "/nonexistent/pellmar-lp", 1);
    ::setenv("PELLMAR_COM2", "/nonexistent/pellmar-tty", 1);
    for (auto [type, port] : {std::pair{CONN_PARALLEL, "LPT2:"}, std::pair{CONN_SERIAL, "COM2:"}}) {
        window.Clear();
        EXPECT_EQ(Open(type, port, 1), nullptr);
        ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR));
        EXPECT_EQ(window.Messages()[0].error, platform::ErrorText(ENOENT)) << port;
        EXPECT_EQ(g_ConnectionSlots[0].bActive.load(), 0);
    }
}

TEST_F(PortOpenTest, PortHeldByAnotherConnectionIsBusy) {
    PtyDevice device;
    ::setenv("PELLMAR_LPT1", device.Path().c_str(), 1);
    ::setenv("PELLMAR_COM1", device.Path().c_str(), 1);
    CONNECTION_SLOT* first = Open(CONN_PARALLEL, "LPT1:");
    ASSERT_EQ(first, &g_ConnectionSlots[0]);
    EXPECT_EQ(Open(CONN_SERIAL, "COM1:"), nullptr);
    ASSERT_TRUE(window.WaitFor(WM_LINK_ERROR));
    EXPECT_EQ(window.Messages()[0].error, platform::ErrorText(EBUSY));
    EXPECT_EQ(g_ConnectionSlots[1].bActive.load(), 0);
    EXPECT_EQ(first->bActive.load(), 1);
}

}  // namespace
