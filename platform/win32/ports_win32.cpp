// Windows port names: "LPT1:", "LPT2:", "COM1:" and "COM2:" are the system's own device names and
// are opened as they stand, unless the environment names another device (PELLMAR_LPT1,
// PELLMAR_LPT2, PELLMAR_COM1, PELLMAR_COM2: a "\\.\COM10", a named pipe in tests).
#include <cstdlib>

#include "platform/ports.h"

namespace platform {
namespace {

struct PortOverride {
    const char* name;
    const char* variable;
};

constexpr PortOverride kPortOverrides[] = {
    {"LPT1:", "PELLMAR_LPT1"},
    {"LPT2:", "PELLMAR_LPT2"},
    {"COM1:", "PELLMAR_COM1"},
    {"COM2:", "PELLMAR_COM2"},
};

}  // namespace

std::string PortDevicePath(const std::string& portName) {
    for (const auto& port : kPortOverrides) {
        if (portName != port.name)
            continue;
        const char* chosen = std::getenv(port.variable);
        return (chosen && *chosen) ? std::string(chosen) : portName;
    }
    return portName;
}

}  // namespace platform
