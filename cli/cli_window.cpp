// The command line's receiver of link messages: an event queue filled by the workers.
#include "cli/cli_window.h"

namespace cli {

void CCliWindow::SendLinkMessage(std::uint32_t message, std::uintptr_t, CONNECTION_SLOT* slot) {
    LinkEvent event;
    event.message = message;
    event.slot = slot;
    if (slot && message == WM_LINK_PROGRESS)
        event.bytesSent = slot->nBytesSent.load();
    if (slot && message == WM_LINK_DATA) {
        std::uint32_t n = slot->nRxLen.load();
        if (n > kLinkBufferSize)
            n = kLinkBufferSize;
        event.data.assign(slot->RxBuf, slot->RxBuf + n);
    }
    Push(std::move(event));
}

void CCliWindow::PostLinkMessage(std::uint32_t message, std::uintptr_t, CONNECTION_SLOT* slot) {
    LinkEvent event;
    event.message = message;
    event.slot = slot;
    if (message == WM_LINK_ERROR)
        event.error = g_strLinkError.Get();
    Push(std::move(event));
}

void CCliWindow::Push(LinkEvent event) {
    {
        std::lock_guard lock(m_mutex);
        // A newer total of the same transfer replaces one that nobody has looked at yet.
        if (event.message == WM_LINK_PROGRESS && !m_events.empty() &&
            m_events.back().message == WM_LINK_PROGRESS && m_events.back().slot == event.slot) {
            m_events.back().bytesSent = event.bytesSent;
        } else {
            m_events.push_back(std::move(event));
        }
    }
    m_cv.notify_one();
}

std::optional<LinkEvent> CCliWindow::Next(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    if (!m_cv.wait_for(lock, limit, [&] { return !m_events.empty(); }))
        return std::nullopt;
    LinkEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

CCliWindow& Window() {
    static auto* window = new CCliWindow;
    return *window;
}

}  // namespace cli
