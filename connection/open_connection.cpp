// OpenConnection: claims the first free slot, dispatches by kind, and the USB branch.
#include <cstring>

#include "connection/manager.h"
#include "connection/open_connection.h"
#include "connection/workers.h"

inline constexpr unsigned kUsbStartPauseMs = 10;

CONNECTION_SLOT* FailOpen(CONNECTION_SLOT* slot, std::string text) {
    g_strLinkError.Set(std::move(text));
    slot->bActive = 0;
    PostLinkMessage(slot->hWndNotify, WM_LINK_ERROR, 0, nullptr);
    return nullptr;
}

std::string DeviceOpenReason(int code) {
    std::string reason = platform::ErrorText(code);
    if (platform::IsAccessDenied(code))
        reason += std::string(" (you need access to the printer devices, e.g. ") +
                  platform::PrinterAccessHint() + ")";
    else if (platform::IsDeviceBusy(code))
        reason += " (another program is using the printer; close it and try again)";
    return reason;
}

CONNECTION_SLOT* OpenUsbConnection(CONNECTION_SLOT* slot) {
    const std::string notFound = "USB Printer <<" + slot->strPort + ">> could not be found!";
    int row = 0;
    while (row < g_nUsbPrinters && slot->strPort != g_UsbPrinters[row].szName) ++row;
    if (row == g_nUsbPrinters)
        return FailOpen(slot, notFound);

    slot->strDevicePath = g_UsbPrinters[row].szPath;
    platform::Handle h = platform::OpenDevice(slot->strDevicePath);
    if (h == platform::kInvalidHandle)
        return FailOpen(slot, notFound + "\n" + DeviceOpenReason(platform::LastError()));
    slot->hDevice.store(h);
    slot->bRxPaused.store(0);
    slot->bSending = 0;
    platform::SleepMs(kUsbStartPauseMs);
    StartWorker(UsbSendThread, slot);
    return slot;
}

CONNECTION_SLOT* CConnectionManager::OpenConnection(CONNECTION_REQUEST request) {
    CONNECTION_SLOT* slot = nullptr;
    for (auto& candidate : g_ConnectionSlots) {
        if (candidate.bActive.load() == 0) {
            slot = &candidate;
            break;
        }
    }
    if (!slot) {
        ReportLinkError(request.hWndNotify, "Too Many Connections!");
        return nullptr;
    }

    slot->nClaim.fetch_add(1, std::memory_order_acq_rel);
    slot->bActive = 1;
    slot->bRxPaused.store(0);
    slot->nType = request.nType;
    slot->strPort = request.strPort;
    slot->nMode = request.nMode;
    slot->nIdleTimeout = request.nIdleTimeout;
    slot->hWndNotify = request.hWndNotify;
    slot->nRxLen.store(0);
    slot->nTxLen = 0;

    switch (request.nType) {
        case CONN_PARALLEL:
            return OpenParallelConnection(slot, request);
        case CONN_NETWORK:
            return OpenNetworkConnection(slot, request);
        case CONN_USB:
            return OpenUsbConnection(slot);
        case CONN_SERIAL:
            return OpenSerialConnection(slot, request);
        default:
            return FailOpen(slot, "Invalid connection type!");
    }
}
