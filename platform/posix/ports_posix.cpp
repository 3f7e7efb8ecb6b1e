// POSIX port names: each name stands for a device node, which the environment may override.
#include <cstdlib>

#include "platform/ports.h"

namespace platform {
namespace {

struct PortNode {
    const char* name;
    const char* variable;
    const char* node;
};

constexpr PortNode kPortNodes[] = {
    {"LPT1:", "PELLMAR_LPT1", "/dev/lp0"},
    {"LPT2:", "PELLMAR_LPT2", "/dev/lp1"},
    {"COM1:", "PELLMAR_COM1", "/dev/ttyS0"},
    {"COM2:", "PELLMAR_COM2", "/dev/ttyS1"},
};

}  // namespace

std::string PortDevicePath(const std::string& portName) {
    for (const auto& port : kPortNodes) {
        if (portName != port.name)
            continue;
        const char* chosen = std::getenv(port.variable);
        return (chosen && *chosen) ? std::string(chosen) : std::string(port.node);
    }
    return portName;
}

}  // namespace platform
