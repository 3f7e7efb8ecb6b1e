// The connection manager's life and CloseAllConnections.
#include "connection/manager.h"

#include "platform/platform.h"

USB_PRINTER_ENTRY g_UsbPrinters[kMaxUsbPrinters];
int g_nUsbPrinters = 0;

CConnectionManager::CConnectionManager() {
    ClearSlots();
    EnumerateUsbPrinters();
}

CConnectionManager::CConnectionManager(NoDiscovery) {
    ClearSlots();
}

void CConnectionManager::ClearSlots() {
    for (auto& slot : g_ConnectionSlots) slot.bActive = 0;
}

void CConnectionManager::CloseAllConnections() {
    for (auto& slot : g_ConnectionSlots) slot.bActive = 0;
    platform::SleepMs(kCloseAllSettleMs);
}
