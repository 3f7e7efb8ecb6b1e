// Port names: the device each of "LPT1:", "LPT2:", "COM1:" and "COM2:" stands for on this system.
#pragma once

#include <string>

namespace platform {

// The path the platform opens for a port name. The name is not checked here: callers accept only
// the four names above. On Linux the defaults are /dev/lp0, /dev/lp1, /dev/ttyS0 and /dev/ttyS1;
// the environment variables PELLMAR_LPT1, PELLMAR_LPT2, PELLMAR_COM1 and PELLMAR_COM2 name another
// node (a USB serial adapter, a pseudo-terminal). Any other name is returned unchanged.
std::string PortDevicePath(const std::string& portName);

}  // namespace platform
