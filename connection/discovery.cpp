// USB printer discovery. Walks the three interface classes with one member index that carries on
// from class to class, and a budget of unanswered queries that is renewed only when it runs out.
#include "connection/discovery.h"

#include <algorithm>
#include <cstring>

#include "connection/manager.h"
#include "platform/enumerate.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t kNameChars = sizeof(USB_PRINTER_ENTRY::szName) - 1;  // 49
constexpr std::size_t kPathChars = sizeof(USB_PRINTER_ENTRY::szPath) - 1;  // 79

void CopyField(char* field, std::size_t chars, const std::string& text) {
    std::size_t n = std::min(chars, text.size());
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

}  // namespace

bool PlatformPrinterProbe::GetInterfacePath(int classIndex, std::uint32_t memberIndex,
                                            std::string* path) {
    return platform::GetDeviceInterfacePath(classIndex, memberIndex, path);
}

PRINTER_IDENTITY PlatformPrinterProbe::Query(const std::string& path) {
    platform::Handle h = platform::OpenDevice(path);
    if (h == platform::kInvalidHandle)
        return {};  // busy, no permission, gone: not listed, and nothing said
    PRINTER_IDENTITY identity = QueryPrinterIdentity(h);
    platform::Close(h);
    return identity;
}

void DiscoverUsbPrinters(IPrinterProbe& probe) {
    g_nUsbPrinters = 0;
    int classIndex = 0;
    std::uint32_t memberIndex = 0;
    int budget = kDiscoveryBudget;

    while (classIndex < platform::kInterfaceClassCount && g_nUsbPrinters < kMaxUsbPrinters) {
        std::string path;
        if (!probe.GetInterfacePath(classIndex, memberIndex, &path)) {
            ++classIndex;  // same member index and budget for the next class
            continue;
        }
        if (path.size() > kPathChars) {
            // Such a path could not be stored whole, so the device could not be opened later:
            // pass it over without opening it, as if it had been listed.
            ++memberIndex;
            continue;
        }
        PRINTER_IDENTITY identity = probe.Query(path);
        if (identity.bAnswered) {
            USB_PRINTER_ENTRY& row = g_UsbPrinters[g_nUsbPrinters];
            CopyField(row.szName, kNameChars, identity.strText1 + " " + identity.strText3);
            CopyField(row.szPath, kPathChars, path);
            ++g_nUsbPrinters;
            ++memberIndex;
            continue;
        }
        // The same interface is asked again on the next pass, until the budget runs out.
        if (--budget == 0) {
            ++classIndex;
            budget = kDiscoveryBudget;
        }
    }
}

void CConnectionManager::EnumerateUsbPrinters() {
    PlatformPrinterProbe probe;
    DiscoverUsbPrinters(probe);
}
