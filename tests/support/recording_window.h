// A message receiver for tests: records every message with the slot's state at the moment the
// handler ran, and lets a test run its own handler code inside a sent message.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "connection/slots.h"

struct RecordedMessage {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    CONNECTION_SLOT* lParam = nullptr;
    bool posted = false;
    std::int32_t nBytesSent = 0;  // of lParam, when there is one
    std::uint8_t bSending = 0;
    std::int32_t bActive = 0;
    std::string error;  // g_strLinkError when the message arrived
};

class RecordingWindow final : public INotifyWindow {
public:
    // Runs inside the handler of every sent message, on the worker's thread.
    std::function<void(const RecordedMessage&)> onSend;

    void SendLinkMessage(std::uint32_t message, std::uintptr_t wParam,
                         CONNECTION_SLOT* lParam) override {
        RecordedMessage m = Snapshot(message, wParam, lParam, false);
        if (onSend)
            onSend(m);
        Add(std::move(m));
    }
    void PostLinkMessage(std::uint32_t message, std::uintptr_t wParam,
                         CONNECTION_SLOT* lParam) override {
        Add(Snapshot(message, wParam, lParam, true));
    }

    std::vector<RecordedMessage> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::size_t Count(std::uint32_t message) const {
        std::lock_guard lock(m_mutex);
        std::size_t n = 0;
        for (const auto& m : m_messages) n += (m.message == message);
        return n;
    }
    // Waits until a message of this kind has arrived, at most `limit`.
    bool WaitFor(std::uint32_t message,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, limit, [&] {
            for (const auto& m : m_messages)
                if (m.message == message)
                    return true;
            return false;
        });
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

private:
    static RecordedMessage Snapshot(std::uint32_t message, std::uintptr_t wParam,
                                    CONNECTION_SLOT* slot, bool posted) {
        RecordedMessage m{message, wParam, slot, posted, 0, 0, 0, g_strLinkError.Get()};
        if (slot) {
            m.nBytesSent = slot->nBytesSent.load();
            m.bSending = slot->bSending.load();
            m.bActive = slot->bActive.load();
        }
        return m;
    }
    void Add(RecordedMessage m) {
        {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(std::move(m));
        }
        m_cv.notify_all();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<RecordedMessage> m_messages;
};
