// The parallel and serial port workers: readers that hand received bytes to the window, and the
// serial writer that writes what a producer put into TxBuf.
#include <mutex>
#include <string>
#include <unordered_map>

#include "connection/workers.h"

namespace {

std::mutex g_usersMutex;
std::unordered_map<platform::Handle, int> g_portUsers;

// What a port worker keeps of its claim: the slot's set-up does not change while the claim lasts,
// and a later claim of the slot must not change it under a worker that is still ending.
struct PortWorker {
    explicit PortWorker(CONNECTION_SLOT* s)
        : slot(s),
          claim(s->nClaim.load(std::memory_order_acquire)),
          port(s->hDevice.load()),
          hWnd(s->hWndNotify),
          name(s->strPort),
          timeouts(s->timeouts) {}

    bool Active() const { return slot->IsActiveFor(claim); }

    // Pauses between passes; a released slot ends the pause at once.
    void Pause() const {
        g_slotSignal.WaitFor(std::chrono::milliseconds(kPortPassPauseMs),
                             [this] { return !Active(); });
    }

    // One read into RxBuf; a read that brought bytes is handed to the window while the reader
    // waits.
    void ReadPass() const {
        slot->nRxLen.store(0);
        std::uint32_t got = 0;
        // A failed read brings nothing; the next pass reads again.
        if (!platform::Read(port, slot->RxBuf, kLinkBufferSize, &got))
            got = 0;
        slot->nRxLen.store(got);
        if (got != 0)
            SendLinkMessage(hWnd, WM_LINK_DATA, 0, slot);
    }

    // Writes TxBuf[0, n) completely, within the port's total write time-out (0: none), stopping
    // early only when the slot is released. A failure or a time-out is reported.
    void WriteBuffer(std::uint32_t n) const {
        using Clock = std::chrono::steady_clock;
        const auto limitMs =
            std::uint64_t{timeouts.writeTotalMultiplier} * n + timeouts.writeTotalConstant;
        const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
        bool timedOut = false;
        auto keepGoing = [&] {
            timedOut = limitMs != 0 && Clock::now() >= deadline;
            return !timedOut && Active();
        };
        std::uint32_t written = 0;
        if (!platform::WriteAll(port, slot->TxBuf, n, &written, kWriteSliceMs, keepGoing)) {
            ReportLinkError(hWnd, platform::ErrorText(platform::LastError()));
        } else if (written < n && timedOut) {
            ReportLinkError(hWnd, "Write to " + name + " timed out: " + std::to_string(written) +
                                      " of " + std::to_string(n) + " bytes were sent.");
        }
    }

    CONNECTION_SLOT* slot;
    std::uint32_t claim;
    platform::Handle port;
    HWND_NOTIFY hWnd;
    std::string name;
    platform::SerialTimeouts timeouts;
};

}  // namespace

void SharePortHandle(platform::Handle h, int users) {
    std::lock_guard lock(g_usersMutex);
    g_portUsers[h] = users;
}

void ReleasePortHandle(platform::Handle h) {
    {
        std::lock_guard lock(g_usersMutex);
        auto it = g_portUsers.find(h);
        if (it != g_portUsers.end()) {
            if (--it->second > 0)
                return;
            g_portUsers.erase(it);
        }
    }
    platform::Close(h);
}

unsigned ParallelReadThread(CONNECTION_SLOT* slot) {
    const PortWorker w(slot);
    while (w.Active()) {
        if (slot->bRxPaused.load() == 0)
            w.ReadPass();
        w.Pause();
    }
    platform::Close(w.port);
    return 0;
}

unsigned SerialReadThread(CONNECTION_SLOT* slot) {
    const PortWorker w(slot);
    while (w.Active()) {
        w.ReadPass();
        w.Pause();
    }
    ReleasePortHandle(w.port);
    return 0;
}

unsigned SerialWriteThread(CONNECTION_SLOT* slot) {
    const PortWorker w(slot);
    while (w.Active()) {
        // nTxLen is read before TxBuf, and cleared only when the whole buffer has been written.
        if (const std::uint32_t n = slot->nTxLen.load(); n != 0) {
            w.WriteBuffer(n > kLinkBufferSize ? kLinkBufferSize : n);
            slot->nTxLen = 0;
        }
        w.Pause();
    }
    ReleasePortHandle(w.port);
    return 0;
}
