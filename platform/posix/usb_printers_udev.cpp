// Lists the kernel's USB printer nodes with libudev: every usbmisc device named lpN that has a
// device node, in the order of its device number, so that the list is the same on every pass.
#include "platform/posix/usb_printers_udev.h"

#include <libudev.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace platform {
namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

}  // namespace

std::vector<std::string> UsbPrinterNodes() {
    UdevPtr<udev> context(udev_new());
    if (!context)
        return {};
    UdevPtr<udev_enumerate> en(udev_enumerate_new(context.get()));
    if (!en || udev_enumerate_add_match_subsystem(en.get(), "usbmisc") < 0 ||
        udev_enumerate_scan_devices(en.get()) < 0)
        return {};

    std::vector<std::pair<dev_t, std::string>> nodes;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(en.get())) {
        UdevPtr<udev_device> dev(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!dev)
            continue;
        // usbmisc also holds other kinds of node (hiddev, ...); the printer driver names its lpN.
        const char* name = udev_device_get_sysname(dev.get());
        const char* node = udev_device_get_devnode(dev.get());
        if (!name || !node || std::strncmp(name, "lp", 2) != 0)
            continue;
        nodes.emplace_back(udev_device_get_devnum(dev.get()), node);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> paths;
    paths.reserve(nodes.size());
    for (auto& n : nodes) paths.push_back(std::move(n.second));
    return paths;
}

}  // namespace platform
