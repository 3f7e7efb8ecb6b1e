// The USB send thread: streams a file to a printer device in chunks, reporting progress after
// every chunk and "done" at end of file.
#include <atomic>
#include <string>

#include "connection/workers.h"

namespace {

std::atomic<unsigned> g_chunkPauseMs{kUsbChunkPauseMs};

void FailWrite(CONNECTION_SLOT* slot, std::uint32_t claim, int code) {
    // A transfer already stopped from outside ends quietly; the slot may already serve a new
    // connection, which must not be released by this thread.
    if (!slot->IsActiveFor(claim)) return;
    g_strLinkError.Set("Write failed with error code " + std::to_string(code));
    slot->bActive = 0;
    PostLinkMessage(slot->hWndNotify, WM_LINK_ERROR, 0, nullptr);
}

}  // namespace

void SetUsbChunkPauseMs(unsigned ms) {
    g_chunkPauseMs.store(ms);
}
unsigned UsbChunkPauseMs() {
    return g_chunkPauseMs.load();
}

unsigned UsbSendThread(CONNECTION_SLOT* slot) {
    const std::uint32_t claim = slot->nClaim.load(std::memory_order_acquire);
    const platform::Handle device = slot->hDevice.load();
    const HWND_NOTIFY hWnd = slot->hWndNotify;
    auto active = [&] { return slot->IsActiveFor(claim); };
    // The device was opened for this thread alone; whatever way the thread ends, it lets go of it.
    struct CloseOnExit {
        platform::Handle h;
        ~CloseOnExit() { platform::Close(h); }
    } closer{device};

    unsigned char chunk[kUsbChunkSize];
    while (active()) {
        if (!slot->bSending.load()) {
            slot->nBytesSent.store(0);
            // Sleep until the caller starts a transfer or releases the slot.
            g_slotSignal.Wait([&] { return !active() || slot->bSending.load() != 0; });
            continue;
        }
        const platform::Handle source = slot->hSourceFile.load(std::memory_order_acquire);
        std::uint32_t got = 0;
        if (!platform::Read(source, chunk, kUsbChunkSize, &got) || got == 0) {
            slot->nTxLen = 0;
            slot->nBytesSent.store(0);
            slot->bSending = 0;
            SendLinkMessage(hWnd, WM_LINK_DONE, 0, slot);
            continue;
        }
        slot->nTxLen = got;
        slot->nBytesSent.fetch_add(static_cast<std::int32_t>(got));
        std::uint32_t written = 0;
        // Every byte of the chunk reaches the device before the next chunk is read.
        if (!platform::WriteAll(device, chunk, got, &written, kWriteSliceMs, active)) {
            FailWrite(slot, claim, platform::LastError());
            return 0;
        }
        if (written < got)
            return 0;  // stopped from outside in the middle of a chunk
        platform::SleepMs(g_chunkPauseMs.load());
        SendLinkMessage(hWnd, WM_LINK_PROGRESS, 0, slot);
    }
    return 0;
}
