// The connection manager: hands out connection slots (OpenConnection) and takes them all back
// (CloseAllConnections); its construction finds the attached USB printers.
#pragma once

#include <cstdint>

#include "connection/slots.h"

// One discovered USB printer: its display name and the device path it answered under.
struct USB_PRINTER_ENTRY {
    char szName[50];
    char szPath[80];
};
inline constexpr int kMaxUsbPrinters = 20;
extern USB_PRINTER_ENTRY g_UsbPrinters[kMaxUsbPrinters];
extern int g_nUsbPrinters;

// CloseAllConnections waits this long after releasing the slots.
inline constexpr unsigned kCloseAllSettleMs = 200;

// Each program creates its one manager explicitly at the start of main, before any window: its
// construction runs discovery once, so merely linking the module never touches a device.
class CConnectionManager {
public:
    // Marks every slot free, then discovers the USB printers.
    CConnectionManager();
    // Marks every slot free and leaves the printer table alone (tests and tools).
    struct NoDiscovery {};
    explicit CConnectionManager(NoDiscovery);
    virtual ~CConnectionManager() = default;

    CConnectionManager(const CConnectionManager&) = delete;
    CConnectionManager& operator=(const CConnectionManager&) = delete;

    // Claims the first free slot, opens the requested port or printer and starts its workers.
    // Returns null on failure, after reporting it to the request's window.
    CONNECTION_SLOT* OpenConnection(CONNECTION_REQUEST request);

    // Releases every slot, then waits kCloseAllSettleMs.
    void CloseAllConnections();

    void EnumerateUsbPrinters();

private:
    void ClearSlots();
};
