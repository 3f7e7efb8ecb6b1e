// Device-interface enumeration: the device paths of the interfaces of three interface classes,
// asked in this order: USB devices of any kind, USB printers, and a third class after whose own
// interfaces come the device paths that the user names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

inline constexpr int kInterfaceClassCount = 3;
inline constexpr const char* kInterfaceClassGuids[kInterfaceClassCount] = {
    "{A5DCBF10-6530-11D2-901F-00C04FB951ED}",  // USB devices, whatever their kind
    "{28D78FAD-5A12-11D1-AE5B-0000F803A8C2}",  // USB printers
    "{76F4B720-F62F-11D1-9C52-000083612AA1}",  // third class; then the user's device paths
};

// Enumerates the class afresh and gives the device path of its interface number `memberIndex`.
// False when the class has no interface at that index.
bool GetDeviceInterfacePath(int classIndex, std::uint32_t memberIndex, std::string* path);

// Device paths the user names on the command line (--device PATH, in order). They follow the
// third class's own interfaces, and are followed by the paths in the environment variable
// PELLMAR_DEVICES (separated by ':' on POSIX, ';' on Windows).
void SetUserDevicePaths(std::vector<std::string> paths);
std::vector<std::string> UserDevicePaths();

}  // namespace platform
