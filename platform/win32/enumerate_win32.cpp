// Device-interface enumeration through the device set-up services, one freshly obtained device
// information set per question, freed again before the answer returns. The third class's own
// interfaces are followed by the device paths that the user names.
#include <windows.h>
// after windows.h, which it builds on
#include <setupapi.h>

#include <cstdlib>

#include "platform/enumerate.h"

namespace platform {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
GUID ParseGuid(const char* text) {
    unsigned char bytes[16] = {};
    int nibbles = 0;
    for (const char* p = text; *p && nibbles < 32; ++p) {
        int d = HexDigit(*p);
        if (d < 0)
            continue;
        bytes[nibbles / 2] = static_cast<unsigned char>(bytes[nibbles / 2] << 4 | d);
        ++nibbles;
    }
    GUID g{};
    g.Data1 = static_cast<unsigned long>(bytes[0]) << 24 |
              static_cast<unsigned long>(bytes[1]) << 16 |
              static_cast<unsigned long>(bytes[2]) << 8 | bytes[3];
    g.Data2 = static_cast<unsigned short>(bytes[4] << 8 | bytes[5]);
    g.Data3 = static_cast<unsigned short>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
    return g;
}

// A device information set that is freed when it goes out of scope.
struct DeviceInfoSet {
    explicit DeviceInfoSet(const GUID& guid)
        : h(::SetupDiGetClassDevsA(&guid, nullptr, nullptr,
                                   DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    ~DeviceInfoSet() {
        if (h != INVALID_HANDLE_VALUE)
            ::SetupDiDestroyDeviceInfoList(h);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    HDEVINFO h;
};

bool EnumInterface(const DeviceInfoSet& set, const GUID& guid, DWORD index,
                   SP_DEVICE_INTERFACE_DATA* data) {
    data->cbSize = sizeof *data;
    return ::SetupDiEnumDeviceInterfaces(set.h, nullptr, &guid, index, data) != FALSE;
}

// Number of interfaces the class has now (the user's paths come after them).
DWORD CountInterfaces(const DeviceInfoSet& set, const GUID& guid) {
    SP_DEVICE_INTERFACE_DATA data;
    DWORD n = 0;
    while (EnumInterface(set, guid, n, &data)) ++n;
    return n;
}

bool InterfacePath(const DeviceInfoSet& set, SP_DEVICE_INTERFACE_DATA* data, std::string* path) {
    DWORD required = 0;
    ::SetupDiGetDeviceInterfaceDetailA(set.h, data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        return false;
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::malloc(required));
    if (!detail)
        return false;  // treated as an interface that does not answer
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    bool ok = ::SetupDiGetDeviceInterfaceDetailA(set.h, data, detail, required, &required,
                                                 nullptr) != FALSE;
    if (ok)
        *path = detail->DevicePath;
    std::free(detail);
    return ok;
}

}  // namespace

bool GetDeviceInterfacePath(int classIndex, std::uint32_t memberIndex, std::string* path) {
    if (classIndex < 0 || classIndex >= kInterfaceClassCount)
        return false;
    const GUID guid = ParseGuid(kInterfaceClassGuids[classIndex]);
    DeviceInfoSet set(guid);
    SP_DEVICE_INTERFACE_DATA data;
    if (EnumInterface(set, guid, memberIndex, &data))
        return InterfacePath(set, &data, path);
    if (classIndex != kInterfaceClassCount - 1)
        return false;
    const DWORD own = CountInterfaces(set, guid);
    const auto user = UserDevicePaths();
    if (memberIndex < own || memberIndex - own >= user.size())
        return false;
    *path = user[memberIndex - own];
    return true;
}

}  // namespace platform
