// The parallel, serial and network branches of OpenConnection.
#include <limits>

#include "connection/open_connection.h"
#include "connection/packets.h"
#include "connection/workers.h"
#include "platform/ports.h"
#include "platform/serial.h"
#include "platform/socket.h"

namespace {

constexpr unsigned kParallelStartPauseMs = 10;
constexpr std::uint32_t kNoReadInterval = 0xFFFFFFFF;
constexpr std::uint32_t kParallelWriteTotalMs = 15000;
constexpr std::uint32_t kSerialReadTotalMs = 100;

// The system's text for the error of the call that just failed.
std::string LastErrorText() {
    return platform::ErrorText(platform::LastError());
}

// Reads return at once with whatever has arrived; a write is given 15 seconds in all.
platform::SerialTimeouts ParallelTimeouts() {
    platform::SerialTimeouts t;
    t.readInterval = kNoReadInterval;
    t.writeTotalConstant = kParallelWriteTotalMs;
    return t;
}

// Reads return after at most 100 ms with what has arrived; a write is given nIdleTimeout seconds
// (0: no limit).
platform::SerialTimeouts SerialTimeoutsFor(std::uint32_t idleSeconds) {
    platform::SerialTimeouts t;
    t.readTotalConstant = kSerialReadTotalMs;
    const std::uint64_t ms = std::uint64_t{idleSeconds} * 1000;
    t.writeTotalConstant = static_cast<std::uint32_t>(
        ms > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                       : ms);
    return t;
}

// A port that was opened but could not be set up is let go before the open fails.
CONNECTION_SLOT* FailSetUp(CONNECTION_SLOT* slot, platform::Handle port) {
    std::string text = LastErrorText();
    platform::Close(port);
    slot->hDevice.store(platform::kInvalidHandle);
    return FailOpen(slot, std::move(text));
}

}  // namespace

CONNECTION_SLOT* OpenParallelConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST& request) {
    if (request.strPort != "LPT1:" && request.strPort != "LPT2:")
        return FailOpen(slot, "Invalid Parallel Port Name");
    platform::Handle port = platform::OpenDevice(platform::PortDevicePath(request.strPort));
    if (port == platform::kInvalidHandle)
        return FailOpen(slot, LastErrorText());
    slot->hDevice.store(port);
    // Not examined: a port that keeps no time-outs still reads and writes.
    (void)platform::SetCommTimeouts(port, ParallelTimeouts());
    if (request.nMode == 1)
        RunChannelHandshake(slot);
    slot->bRxPaused.store(0);
    platform::SleepMs(kParallelStartPauseMs);
    StartWorker(ParallelReadThread, slot);
    return slot;
}

CONNECTION_SLOT* OpenSerialConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST& request) {
    if (request.strPort != "COM1:" && request.strPort != "COM2:")
        return FailOpen(slot, "Invalid COM port name.");
    platform::Handle port = platform::OpenDevice(platform::PortDevicePath(request.strPort));
    if (port == platform::kInvalidHandle)
        return FailOpen(slot, LastErrorText());
    slot->hDevice.store(port);
    if (request.pDcb) {
        slot->dcb = *request.pDcb;
        if (!platform::SetCommState(port, slot->dcb))
            return FailSetUp(slot, port);
    } else {
        // Not examined: the port keeps its present settings either way.
        (void)platform::GetCommState(port, &slot->dcb);
    }
    slot->timeouts = SerialTimeoutsFor(request.nIdleTimeout);
    if (!platform::SetCommTimeouts(port, slot->timeouts))
        return FailSetUp(slot, port);
    SharePortHandle(port, 2);
    StartWorker(SerialReadThread, slot);
    StartWorker(SerialWriteThread, slot);
    return slot;
}

CONNECTION_SLOT* OpenNetworkConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST& request) {
    platform::StartSockets();
    if (request.nMode == 1)
        StartWorker(NetSessionThread, slot);
    else if (request.nMode == 2)
        StartWorker(NetJobThread, slot);
    return slot;
}
