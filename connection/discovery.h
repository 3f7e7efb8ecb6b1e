// USB printer discovery: asks every interface of the three interface classes to identify itself
// and lists those that answer in g_UsbPrinters. The interfaces and the query come through a small
// interface, so that a test can script classes and devices.
#pragma once

#include <cstdint>
#include <string>

#include "connection/packets.h"

// Where discovery gets its interfaces from and how it asks one of them.
class IPrinterProbe {
public:
    virtual ~IPrinterProbe() = default;
    // Enumerates the class afresh and gives the device path of interface `memberIndex`; false
    // when the class has no interface at that index.
    virtual bool GetInterfacePath(int classIndex, std::uint32_t memberIndex, std::string* path) = 0;
    // Opens the device, runs the identification exchange on it and closes it again. A device
    // that cannot be opened gives no answer.
    virtual PRINTER_IDENTITY Query(const std::string& path) = 0;
};

// The real thing: the platform's interface enumeration and device handles.
class PlatformPrinterProbe final : public IPrinterProbe {
public:
    bool GetInterfacePath(int classIndex, std::uint32_t memberIndex, std::string* path) override;
    PRINTER_IDENTITY Query(const std::string& path) override;
};

// Unanswered queries allowed before the rest of a class is given up.
inline constexpr int kDiscoveryBudget = 7;

// Fills g_UsbPrinters and g_nUsbPrinters from the interfaces the probe offers. Discovery ends
// when the table is full: no device past the twentieth answering one is opened.
void DiscoverUsbPrinters(IPrinterProbe& probe);
