// Named-pipe stand-in device. One thread serves the openers in the order they came: the next pipe
// instance is listening while the present one is served, so a program that closes and at once
// reopens the device always finds it, and bytes of successive openers never interleave.
#include <windows.h>

#include <stdexcept>

#include "support/pipe_device.h"

namespace {

std::atomic<int> g_pipeCount{0};
constexpr DWORD kPipeBufferSize = 64 * 1024;

// A pipe instance that waits for its opener without blocking the server thread.
struct Instance {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    OVERLAPPED ov{};
    bool connected = false;

    bool Create(const std::string& path) {
        pipe = ::CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                  PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                  PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, 0,
                                  nullptr);
        if (pipe == INVALID_HANDLE_VALUE)
            return false;
        event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ov = {};
        ov.hEvent = event;
        if (::ConnectNamedPipe(pipe, &ov))
            connected = true;
        else if (::GetLastError() == ERROR_PIPE_CONNECTED)
            connected = true;
        return true;
    }
    // True once an opener has connected; waits at most `ms`.
    bool WaitConnected(DWORD ms) {
        if (connected)
            return true;
        if (::WaitForSingleObject(event, ms) != WAIT_OBJECT_0)
            return false;
        DWORD unused = 0;
        connected = ::GetOverlappedResult(pipe, &ov, &unused, FALSE) != FALSE;
        return connected;
    }
    void Close() {
        if (pipe != INVALID_HANDLE_VALUE) {
            if (!connected) {
                DWORD unused = 0;
                ::CancelIoEx(pipe, &ov);
                ::GetOverlappedResult(pipe, &ov, &unused, TRUE);
            }
            ::DisconnectNamedPipe(pipe);
            ::CloseHandle(pipe);
        }
        if (event)
            ::CloseHandle(event);
        pipe = INVALID_HANDLE_VALUE;
        event = nullptr;
        connected = false;
    }
};

// One overlapped read or write on the instance, waited for to its end.
bool Transfer(Instance& in, void* buf, DWORD size, DWORD* done, bool write) {
    OVERLAPPED ov{};
    ov.hEvent = in.event;
    ::ResetEvent(in.event);
    BOOL ok = write ? ::WriteFile(in.pipe, buf, size, nullptr, &ov)
                    : ::ReadFile(in.pipe, buf, size, nullptr, &ov);
    if (!ok && ::GetLastError() != ERROR_IO_PENDING)
        return false;
    return ::GetOverlappedResult(in.pipe, &ov, done, TRUE) != FALSE;
}

}  // namespace

PipeDevice::PipeDevice(Responder responder) : m_responder(std::move(responder)) {
    m_path = "\\\\.\\pipe\\pellmar-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
             std::to_string(g_pipeCount.fetch_add(1));
    m_server = std::thread([this] { Serve(); });
    // The device is there once the first instance listens.
    for (int i = 0; i < 2000 && !m_listening.load(); ++i) ::Sleep(1);
    if (!m_listening.load())
        throw std::runtime_error("named pipe not created");
}

PipeDevice::~PipeDevice() {
    m_stop = true;
    if (m_server.joinable())
        m_server.join();
}

void PipeDevice::Serve() {
    Instance current, next;
    if (!next.Create(m_path))
        return;
    m_listening = true;
    std::vector<std::uint8_t> pending;
    std::uint8_t buf[8192];
    while (!m_stop) {
        if (m_hangUp) {
            current.Close();
            next.Close();
            while (!m_stop) ::Sleep(5);
            break;
        }
        if (current.pipe == INVALID_HANDLE_VALUE) {
            if (!next.WaitConnected(5))
                continue;
            current = next;
            next = Instance{};
            next.Create(m_path);
            pending.clear();
            ++m_openers;
            continue;
        }
        DWORD avail = 0;
        if (!::PeekNamedPipe(current.pipe, nullptr, 0, nullptr, &avail, nullptr)) {
            current.Close();  // the opener closed the device
            continue;
        }
        if (avail == 0) {
            ::Sleep(1);
            continue;
        }
        DWORD want = avail < sizeof buf ? avail : static_cast<DWORD>(sizeof buf);
        const long long limit = m_hangUpAfter.load();
        if (limit >= 0) {
            std::lock_guard lock(m_mutex);
            const long long left = limit - static_cast<long long>(m_received.size());
            if (left < static_cast<long long>(want))
                want = static_cast<DWORD>(left > 0 ? left : 0);
        }
        DWORD got = 0;
        if (want > 0 && !Transfer(current, buf, want, &got, false)) {
            current.Close();
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            m_received.insert(m_received.end(), buf, buf + got);
            if (limit >= 0 && static_cast<long long>(m_received.size()) >= limit)
                m_hangUp = true;
        }
        if (m_responder) {
            pending.insert(pending.end(), buf, buf + got);
            std::vector<std::uint8_t> reply = m_responder(pending);
            DWORD sent = 0;
            if (!reply.empty())
                Transfer(current, reply.data(), static_cast<DWORD>(reply.size()), &sent, true);
        }
    }
    current.Close();
    next.Close();
}

bool PipeDevice::WaitForBytes(std::size_t n, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(m_mutex);
            if (m_received.size() >= n)
                return true;
        }
        ::Sleep(5);
    }
    return false;
}

std::vector<std::uint8_t> PipeDevice::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}
