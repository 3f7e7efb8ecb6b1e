// Interface enumeration on Linux: class 0 (USB devices of any kind) is empty, class 1 holds the
// kernel's USB printer nodes, class 2 the device paths that the user names.
#include "platform/enumerate.h"
#include "platform/posix/usb_printers_udev.h"

namespace platform {

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
