// The connection table's globals and the module's failure path.
#include "connection/slots.h"

LinkErrorText g_strLinkError;
CONNECTION_SLOT g_ConnectionSlots[kSlotCount];
SlotSignal g_slotSignal;

void SlotSignal::Notify() {
    // Taking the lock orders the notification after any waiter's check of its condition.
    { std::lock_guard lock(m_mutex); }
    m_cv.notify_all();
}

void SendLinkMessage(HWND_NOTIFY hWnd, std::uint32_t message, std::uintptr_t wParam,
                     CONNECTION_SLOT* lParam) {
    if (hWnd)
        hWnd->SendLinkMessage(message, wParam, lParam);
}

void PostLinkMessage(HWND_NOTIFY hWnd, std::uint32_t message, std::uintptr_t wParam,
                     CONNECTION_SLOT* lParam) {
    if (hWnd)
        hWnd->PostLinkMessage(message, wParam, lParam);
}

void LinkErrorText::Set(std::string text) {
    std::lock_guard lock(m_mutex);
    m_text = std::move(text);
}

std::string LinkErrorText::Get() const {
    std::lock_guard lock(m_mutex);
    return m_text;
}

void ReportLinkError(HWND_NOTIFY hWnd, std::string text) {
    g_strLinkError.Set(std::move(text));
    PostLinkMessage(hWnd, WM_LINK_ERROR, 0, nullptr);
}
