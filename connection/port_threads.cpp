// The parallel and serial port workers: readers that hand received bytes to the window, and the
// serial writer that writes what a producer put into TxBuf.
#include <mutex>
#include <string>
#include <unordered_map>

#include "connection/workers.h"

namespace {

std::mutex g_usersMutex;
std::unordered_map<platform::Handle, int> g_portUsers;

// Pauses between passes; a released slot ends the pause at once.
void PassPause(CONNECTION_SLOT* slot, std::uint32_t claim) {
    g_slotSignal.WaitFor(std::chrono::milliseconds(kPortPassPauseMs),
                         [&] { return !slot->IsActiveFor(claim); });
}

// One read into RxBuf; a read that brought bytes is handed to the window while the reader waits.
void ReadPass(CONNECTION_SLOT* slot, platform::Handle port) {
    slot->nRxLen.store(0);
    std::uint32_t got = 0;
    // A failed read brings nothing; the next pass reads again.
    if (!platform::Read(port, slot->RxBuf, kLinkBufferSize, &got))
        got = 0;
    slot->nRxLen.store(got);
    if (got != 0)
        SendLinkMessage(slot->hWndNotify, WM_LINK_DATA, 0, slot);
}

// Writes TxBuf[0, n) completely, within the port's total write time-out (0: none), stopping early
// only when the slot is released. Reports a failure or a time-out through the error path.
void WriteBuffer(CONNECTION_SLOT* slot, std::uint32_t claim, platform::Handle port,
                 std::uint32_t n) {
    using Clock = std::chrono::steady_clock;
    const auto& t = slot->timeouts;
    const auto limitMs = std::uint64_t{t.writeTotalMultiplier} * n + t.writeTotalConstant;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    bool timedOut = false;
    auto keepGoing = [&] {
        timedOut = limitMs != 0 && Clock::now() >= deadline;
        return !timedOut && slot->IsActiveFor(claim);
    };
    std::uint32_t written = 0;
    if (!platform::WriteAll(port, slot->TxBuf, n, &written, kWriteSliceMs, keepGoing)) {
        ReportLinkError(slot->hWndNotify, platform::ErrorText(platform::LastError()));
    } else if (written < n && timedOut) {
        ReportLinkError(slot->hWndNotify, "Write to " + slot->strPort +
                                              " timed out: " + std::to_string(written) + " of " +
                                              std::to_string(n) + " bytes were sent.");
    }
}

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
    const std::uint32_t claim = slot->nClaim.load(std::memory_order_acquire);
    const platform::Handle port = slot->hDevice.load();
    while (slot->IsActiveFor(claim)) {
        if (slot->bRxPaused.load() == 0)
            ReadPass(slot, port);
        PassPause(slot, claim);
    }
    platform::Close(port);
    return 0;
}

unsigned SerialReadThread(CONNECTION_SLOT* slot) {
    const std::uint32_t claim = slot->nClaim.load(std::memory_order_acquire);
    const platform::Handle port = slot->hDevice.load();
    while (slot->IsActiveFor(claim)) {
        ReadPass(slot, port);
        PassPause(slot, claim);
    }
    ReleasePortHandle(port);
    return 0;
}

unsigned SerialWriteThread(CONNECTION_SLOT* slot) {
    const std::uint32_t claim = slot->nClaim.load(std::memory_order_acquire);
    const platform::Handle port = slot->hDevice.load();
    while (slot->IsActiveFor(claim)) {
        // nTxLen is read before TxBuf, and cleared only when the whole buffer has been written.
        if (const std::uint32_t n = slot->nTxLen.load(); n != 0) {
            WriteBuffer(slot, claim, port, n > kLinkBufferSize ? kLinkBufferSize : n);
            slot->nTxLen = 0;
        }
        PassPause(slot, claim);
    }
    ReleasePortHandle(port);
    return 0;
}
