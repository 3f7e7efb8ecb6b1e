// USB printer discovery (not available yet: the table stays empty).
#include "connection/manager.h"

void CConnectionManager::EnumerateUsbPrinters() {
    g_nUsbPrinters = 0;
}
