// The network workers: a session over one TCP connection for the slot's life, and jobs that open a
// connection for each burst of outgoing bytes and close it when it has been idle too long.
#include <atomic>
#include <string>

#include "connection/workers.h"
#include "platform/socket.h"

namespace {

std::atomic<std::uint16_t> g_sessionPort{kNetSessionPort};
std::atomic<std::uint16_t> g_jobPort{kNetJobPort};

// Connecting and sending look at the slot this often, so that a released slot ends them.
constexpr int kNetSliceMs = 100;

// What a network worker keeps of its claim: the slot's set-up does not change while the claim
// lasts, and a later claim of the slot must not change it under a worker that is still ending.
struct NetWorker {
    explicit NetWorker(CONNECTION_SLOT* s)
        : slot(s),
          claim(s->nClaim.load(std::memory_order_acquire)),
          hWnd(s->hWndNotify),
          host(s->strPort),
          idleSeconds(s->nIdleTimeout) {}

    CONNECTION_SLOT* slot;
    std::uint32_t claim;
    HWND_NOTIFY hWnd;
    std::string host;
    std::uint32_t idleSeconds;
    platform::Socket socket = platform::kInvalidSocket;

    bool Active() const { return slot->IsActiveFor(claim); }

    void ReportSocketError() const {
        ReportLinkError(hWnd, platform::ErrorText(platform::LastError()));
    }

    // Looks the printer up and connects to it. On failure the error has been reported (unless the
    // slot was released meanwhile) and there is no socket.
    bool Connect(std::uint16_t port) {
        std::uint32_t address = 0;
        if (!platform::LookUpIPv4(host, &address)) {
            ReportLinkError(hWnd, "Invalid host name or IP address!");
            return false;
        }
        socket = platform::OpenTcpSocket();
        if (socket != platform::kInvalidSocket &&
            platform::Connect(socket, address, port, kNetSliceMs, [this] { return Active(); }))
            return true;
        if (Active())
            ReportSocketError();
        Disconnect();
        return false;
    }

    void Disconnect() {
        platform::CloseSocket(socket);
        socket = platform::kInvalidSocket;
    }

    // Sends TxBuf[0, nTxLen) completely, then clears nTxLen. False on a socket error (reported;
    // nTxLen keeps its value) or when the slot was released in the middle.
    bool SendWaiting() {
        const std::uint32_t n = slot->nTxLen.load();
        const std::uint32_t size = n > kLinkBufferSize ? kLinkBufferSize : n;
        std::uint32_t sent = 0;
        if (!platform::SendAll(socket, slot->TxBuf, size, &sent, kNetSliceMs,
                               [this] { return Active(); })) {
            ReportSocketError();
            return false;
        }
        if (sent < size)
            return false;
        slot->nTxLen = 0;
        return true;
    }

    // Receives up to 1024 waiting bytes into RxBuf and hands them to the window. False on a
    // socket error (reported).
    bool ReceiveWaiting() {
        std::uint32_t got = 0;
        if (!platform::Receive(socket, slot->RxBuf, kLinkBufferSize, &got)) {
            ReportSocketError();
            return false;
        }
        slot->nRxLen.store(got);
        if (got != 0)
            SendLinkMessage(hWnd, WM_LINK_DATA, 0, slot);
        return true;
    }

    bool Waiting(std::uint32_t* count) {
        if (platform::BytesWaiting(socket, count))
            return true;
        ReportSocketError();
        return false;
    }

    // Pauses between passes; a released slot (or, when asked, new bytes to send) ends it early.
    void Pause(bool untilTx) {
        g_slotSignal.WaitFor(std::chrono::milliseconds(kPortPassPauseMs),
                             [&] { return !Active() || (untilTx && slot->nTxLen.load() != 0); });
    }
};

// One job: exchanges bytes until the connection has been idle for more than nIdleTimeout
// seconds or the slot is released. False when a socket call failed.
bool RunJob(NetWorker& w) {
    CONNECTION_SLOT* slot = w.slot;
    std::int64_t lastActivity = platform::NowSeconds();
    while (w.Active()) {
        std::uint32_t waiting = 0;
        if (!w.Waiting(&waiting))
            return false;
        if (slot->nTxLen.load() != 0 || waiting != 0) {
            if (slot->nTxLen.load() != 0 && !w.SendWaiting())
                return !w.Active();  // a send cut short by the release is no failure
            if (waiting != 0 && !w.ReceiveWaiting())
                return false;
            lastActivity = platform::NowSeconds();
        } else {
            w.Pause(true);
        }
        const auto idle = static_cast<std::int32_t>(platform::NowSeconds() - lastActivity);
        if (static_cast<double>(idle) > static_cast<double>(w.idleSeconds))
            break;
    }
    return true;
}

}  // namespace

void SetNetworkPorts(std::uint16_t sessionPort, std::uint16_t jobPort) {
    g_sessionPort.store(sessionPort);
    g_jobPort.store(jobPort);
}
std::uint16_t NetSessionPort() {
    return g_sessionPort.load();
}
std::uint16_t NetJobPort() {
    return g_jobPort.load();
}

unsigned NetSessionThread(CONNECTION_SLOT* slot) {
    NetWorker w(slot);
    if (!w.Connect(NetSessionPort()))
        return 0;
    while (w.Active()) {
        std::uint32_t waiting = 0;
        if (!w.Waiting(&waiting))
            break;
        if (waiting != 0) {
            if (!w.ReceiveWaiting())
                break;
            slot->nRxLen.store(0);
        }
        if (slot->nTxLen.load() != 0 && !w.SendWaiting())
            break;
        w.Pause(false);
    }
    // The session's connection ends with the thread.
    w.Disconnect();
    return 0;
}

unsigned NetJobThread(CONNECTION_SLOT* slot) {
    NetWorker w(slot);
    while (w.Active()) {
        // Sleeps until there is something to send or the slot is released.
        g_slotSignal.Wait([&] { return !w.Active() || slot->nTxLen.load() != 0; });
        if (!w.Active())
            break;
        if (!w.Connect(NetJobPort()))
            return 0;
        const bool ok = RunJob(w);
        w.Disconnect();
        if (!ok)
            return 0;
    }
    return 0;
}
