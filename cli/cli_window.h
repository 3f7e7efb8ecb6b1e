// The command line's receiver of link messages. A sent message is handled on the worker's thread:
// the handler copies what the message shows (the byte count, the received bytes) into an event
// queue while the worker waits; a posted one is queued with the error text of the moment. The
// main thread drains the queue and does the rest (printing, CloseAllConnections).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "connection/slots.h"

namespace cli {

struct LinkEvent {
    std::uint32_t message = 0;
    CONNECTION_SLOT* slot = nullptr;
    std::int64_t bytesSent = 0;      // WM_LINK_PROGRESS: the slot's total after the chunk
    std::vector<std::uint8_t> data;  // WM_LINK_DATA: the bytes received
    std::string error;               // WM_LINK_ERROR: the module's text when it was posted
};

class CCliWindow final : public INotifyWindow {
public:
    void SendLinkMessage(std::uint32_t message, std::uintptr_t wParam,
                         CONNECTION_SLOT* lParam) override;
    void PostLinkMessage(std::uint32_t message, std::uintptr_t wParam,
                         CONNECTION_SLOT* lParam) override;

    // Takes the oldest event, waiting for one at most `limit`.
    std::optional<LinkEvent> Next(std::chrono::milliseconds limit);

private:
    void Push(LinkEvent event);

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<LinkEvent> m_events;
};

// The one receiver of the process. It is never destroyed, so a worker that is still finishing
// when the program returns from main never reaches a dead receiver.
CCliWindow& Window();

}  // namespace cli
