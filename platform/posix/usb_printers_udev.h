// The kernel's USB printer nodes (/dev/usb/lpN), found through libudev.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Device nodes of the present USB printers (subsystem usbmisc, named lpN), ordered by device
// number. Nothing is opened.
std::vector<std::string> UsbPrinterNodes();

}  // namespace platform
