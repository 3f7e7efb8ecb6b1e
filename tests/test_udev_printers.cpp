// The USB printers class under umockdev: emulated usbmisc printer nodes are found through libudev
// in device-number order, and discovery lists the one whose emulated printer answers. Runs under
// umockdev-wrapper (the preload must be there from the process's start).
#include <gtest/gtest.h>
#include <umockdev.h>

#include "connection/discovery.h"
#include "connection/manager.h"
#include "platform/enumerate.h"
#include "printer_emulator.h"

namespace {

// A USB printer interface (class 07) with its kernel printer node, as umockdev-record writes it:
// the node first, then its parents.
// The lower the minor number, the later the port in sysfs order, so that only sorting by device
// number gives lp0 first.
std::string PrinterDescription(int minor, const std::string& name = "lp") {
    const std::string n = std::to_string(minor);
    const std::string port = "1-" + std::to_string(minor < 8 ? 9 - minor : 2);
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/" + port;
    return "P: " + usb + "/" + port + ":1.0/usbmisc/" + name + n + "\n" + "N: usb/" + name + n +
           "\n" + "E: DEVNAME=/dev/usb/" + name + n + "\n" +
           "E: SUBSYSTEM=usbmisc\n"
           "E: MAJOR=180\n"
           "E: MINOR=" +
           n + "\n" + "A: dev=180:" + n + "\n\n" + "P: " + usb + "/" + port + ":1.0\n" +
           "E: SUBSYSTEM=usb\n"
           "E: DEVTYPE=usb_interface\n"
           "E: DRIVER=usblp\n"
           "A: bInterfaceClass=07\n"
           "A: bInterfaceSubClass=01\n"
           "A: bInterfaceProtocol=02\n\n" +
           "P: " + usb + "\n" +
           "E: SUBSYSTEM=usb\n"
           "E: DEVTYPE=usb_device\n"
           "A: idVendor=1234\n"
           "A: idProduct=5678\n\n";
}

class UdevPrinters : public ::testing::Test {
protected:
    void SetUp() override {
        testbed = umockdev_testbed_new();
        if (!umockdev_in_mock_environment())
            GTEST_SKIP() << "not under umockdev-wrapper";
        ::unsetenv("PELLMAR_DEVICES");
        platform::SetUserDevicePaths({});
    }
    void TearDown() override {
        emulators.clear();
        if (testbed)
            g_object_unref(testbed);
        g_nUsbPrinters = 0;
    }
    void AddPrinter(int minor, const std::string& name = "lp") {
        GError* error = nullptr;
        ASSERT_TRUE(umockdev_testbed_add_from_string(
            testbed, PrinterDescription(minor, name).c_str(), &error))
            << (error ? error->message : "");
    }
    emu::PrinterEmulator& Attach(int minor, const char* text3) {
        int fd =
            umockdev_testbed_get_dev_fd(testbed, ("/dev/usb/lp" + std::to_string(minor)).c_str());
        EXPECT_GE(fd, 0);
        emu::EmulatorOptions o;
        o.protocol.text1 = "Mock";
        o.protocol.text3 = text3;
        emulators.push_back(std::make_unique<emu::PrinterEmulator>(o));
        EXPECT_TRUE(emulators.back()->StartOnFd(fd));
        return *emulators.back();
    }

    UMockdevTestbed* testbed = nullptr;
    std::vector<std::unique_ptr<emu::PrinterEmulator>> emulators;
};

TEST_F(UdevPrinters, PrinterNodesInDeviceNumberOrder) {
    AddPrinter(0);
    AddPrinter(1);
    AddPrinter(96, "hiddev");  // another kind of usbmisc node: not a printer
    std::string path;
    ASSERT_TRUE(platform::GetDeviceInterfacePath(1, 0, &path));
    EXPECT_EQ(path, "/dev/usb/lp0");
    ASSERT_TRUE(platform::GetDeviceInterfacePath(1, 1, &path));
    EXPECT_EQ(path, "/dev/usb/lp1");
    EXPECT_FALSE(platform::GetDeviceInterfacePath(1, 2, &path));
    EXPECT_FALSE(platform::GetDeviceInterfacePath(0, 0, &path));  // no generic USB devices
}

TEST_F(UdevPrinters, DiscoveryFindsAndIdentifiesThePrinter) {
    AddPrinter(0);
    auto& printer = Attach(0, "Node Zero");
    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    manager.EnumerateUsbPrinters();
    ASSERT_EQ(g_nUsbPrinters, 1);
    EXPECT_STREQ(g_UsbPrinters[0].szName, "Mock Node Zero");
    EXPECT_STREQ(g_UsbPrinters[0].szPath, "/dev/usb/lp0");
    EXPECT_EQ(printer.IdentifyQueries(), 1);
}

}  // namespace
