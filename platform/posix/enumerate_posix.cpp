// Interface enumeration on Linux: class 0 (USB devices of any kind) is empty, class 1 holds the
// kernel's USB printer nodes, class 2 the device paths that the user names.
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "platform/enumerate.h"
#include "platform/posix/usb_printers_udev.h"

namespace platform {
namespace {
std::mutex g_mutex;
std::vector<std::string> g_userPaths;
}  // namespace

void SetUserDevicePaths(std::vector<std::string> paths) {
    std::lock_guard lock(g_mutex);
    g_userPaths = std::move(paths);
}

std::vector<std::string> UserDevicePaths() {
    std::vector<std::string> paths;
    {
        std::lock_guard lock(g_mutex);
        paths = g_userPaths;
    }
    if (const char* env = std::getenv("PELLMAR_DEVICES")) {
        std::stringstream ss(env);
        std::string item;
        while (std::getline(ss, item, ':'))
            if (!item.empty())
                paths.push_back(item);
    }
    return paths;
}

bool GetDeviceInterfacePath(int classIndex, std::uint32_t memberIndex, std::string* path) {
    std::vector<std::string> paths;
    switch (classIndex) {
        case 0:
            // USB devices of any kind: none yet. Only printers may ever be written to.
            return false;
        case 1:
            paths = UsbPrinterNodes();
            break;
        case 2:
            paths = UserDevicePaths();
            break;
        default:
            return false;
    }
    if (memberIndex >= paths.size())
        return false;
    *path = paths[memberIndex];
    return true;
}

}  // namespace platform
