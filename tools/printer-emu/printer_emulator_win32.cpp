// The emulator's transports on Windows: a named pipe (\\.\pipe\pellmar-emu-...) that a host opens
// with CreateFileA like a printer device, one opener at a time as a device allows, and loopback
// TCP connections through Winsock. One thread serves them all in short slices.
#include <winsock2.h>
// winsock2.h before windows.h, which would otherwise bring the old winsock.h
#include <windows.h>

#include <cstdio>
#include <list>

#include "printer_emulator.h"

namespace emu {

struct PrinterEmulator::Peer {
    SOCKET socket = INVALID_SOCKET;
    long long dataBytes = 0;
    std::unique_ptr<Session> session;
};

namespace {

constexpr std::size_t kBlock = 4096;
constexpr DWORD kPipeBufferSize = 64 * 1024;
std::atomic<int> g_emulatorCount{0};

// The device end of the named pipe: a single instance, so that a second opener finds the device
// busy, listening again each time its opener has closed it.
class PipeEnd {
public:
    bool Create(const std::string& path, std::string* error) {
        m_pipe = ::CreateNamedPipeA(
            path.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, kPipeBufferSize, kPipeBufferSize, 0,
            nullptr);
        if (m_pipe == INVALID_HANDLE_VALUE) {
            *error = "cannot create the named pipe " + path + " (error " +
                     std::to_string(::GetLastError()) + ")";
            return false;
        }
        m_event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        Listen();
        return true;
    }
    ~PipeEnd() { Close(); }

    bool Open() const { return m_pipe != INVALID_HANDLE_VALUE; }

    // True when an opener is connected; waits at most `ms` for one.
    bool Connected(DWORD ms) {
        if (m_connected || !Open())
            return m_connected;
        if (::WaitForSingleObject(m_event, ms) != WAIT_OBJECT_0)
            return false;
        DWORD unused = 0;
        m_listening = false;
        m_connected = ::GetOverlappedResult(m_pipe, &m_ov, &unused, FALSE) != FALSE;
        if (!m_connected)
            Listen();
        return m_connected;
    }
    // Bytes waiting from the opener; false when the opener has closed the device.
    bool Waiting(DWORD* avail) {
        if (::PeekNamedPipe(m_pipe, nullptr, 0, nullptr, avail, nullptr))
            return true;
        // The opener closed its end: wait for the next one.
        ::DisconnectNamedPipe(m_pipe);
        m_connected = false;
        Listen();
        return false;
    }
    bool Transfer(void* buf, DWORD size, DWORD* done, bool write) {
        OVERLAPPED ov{};
        ov.hEvent = m_event;
        ::ResetEvent(m_event);
        BOOL ok = write ? ::WriteFile(m_pipe, buf, size, nullptr, &ov)
                        : ::ReadFile(m_pipe, buf, size, nullptr, &ov);
        if (!ok && ::GetLastError() != ERROR_IO_PENDING)
            return false;
        return ::GetOverlappedResult(m_pipe, &ov, done, TRUE) != FALSE;
    }
    bool WriteAll(const std::vector<std::uint8_t>& bytes) {
        std::vector<std::uint8_t> copy = bytes;
        DWORD done = 0;
        return Transfer(copy.data(), static_cast<DWORD>(copy.size()), &done, true) &&
               done == copy.size();
    }
    // Unplugs the device: the opener's next write fails, and the path is gone.
    void Close() {
        if (m_pipe != INVALID_HANDLE_VALUE) {
            if (m_listening) {
                DWORD unused = 0;
                // The wait may have been started on another thread: cancel it by its record.
                ::CancelIoEx(m_pipe, &m_ov);
                ::GetOverlappedResult(m_pipe, &m_ov, &unused, TRUE);
            }
            ::DisconnectNamedPipe(m_pipe);
            ::CloseHandle(m_pipe);
            m_pipe = INVALID_HANDLE_VALUE;
        }
        if (m_event) {
            ::CloseHandle(m_event);
            m_event = nullptr;
        }
        m_connected = m_listening = false;
    }

private:
    void Listen() {
        m_ov = {};
        m_ov.hEvent = m_event;
        ::ResetEvent(m_event);
        if (::ConnectNamedPipe(m_pipe, &m_ov) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
            m_connected = true;
            m_listening = false;
        } else {
            m_listening = ::GetLastError() == ERROR_IO_PENDING;
        }
    }

    HANDLE m_pipe = INVALID_HANDLE_VALUE;
    HANDLE m_event = nullptr;
    OVERLAPPED m_ov{};
    bool m_connected = false;
    bool m_listening = false;
};

bool SendAllSocket(SOCKET s, const std::vector<std::uint8_t>& bytes) {
    std::size_t off = 0;
    while (off < bytes.size()) {
        int n = ::send(s, reinterpret_cast<const char*>(bytes.data() + off),
                       static_cast<int>(bytes.size() - off), 0);
        if (n <= 0)
            return false;
        off += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

PrinterEmulator::PrinterEmulator(EmulatorOptions options) : m_options(std::move(options)) {}

PrinterEmulator::~PrinterEmulator() {
    Stop();
}

bool PrinterEmulator::Start() {
    m_path = "\\\\.\\pipe\\pellmar-emu-" + std::to_string(::GetCurrentProcessId()) + "-" +
             std::to_string(g_emulatorCount.fetch_add(1));
    auto pipe = std::make_shared<PipeEnd>();
    if (!pipe->Create(m_path, &m_error))
        return false;
    SOCKET listener = INVALID_SOCKET;
    if (m_options.tcpPort >= 0) {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(m_options.tcpPort));
        int len = sizeof addr;
        if (listener == INVALID_SOCKET ||
            ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listener, 8) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            m_error = "cannot listen on 127.0.0.1:" + std::to_string(m_options.tcpPort) +
                      " (error " + std::to_string(::WSAGetLastError()) + ")";
            if (listener != INVALID_SOCKET)
                ::closesocket(listener);
            return false;
        }
        m_tcpPort = ntohs(addr.sin_port);
    }
    if (!m_options.recordPath.empty()) {
        m_record = std::fopen(m_options.recordPath.c_str(), "wb");
        if (!m_record) {
            m_error = "cannot write " + m_options.recordPath;
            if (listener != INVALID_SOCKET)
                ::closesocket(listener);
            return false;
        }
    }
    m_thread = std::thread([this, pipe, listener] {
        Session device(m_options.protocol, m_counters);
        long long deviceData = 0;
        std::list<Peer> peers;
        std::uint8_t buf[kBlock];
        // Feeds bytes to a session and records the print data that comes out.
        auto feed = [&](Session& session, long long* dataBytes, const std::uint8_t* bytes,
                        std::size_t n) {
            Session::Output out;
            session.Feed(bytes, n, Session::Clock::now(), &out);
            *dataBytes += static_cast<long long>(out.data.size());
            Record(out.data);
            if (m_options.acceptDelayMs > 0)
                ::Sleep(static_cast<DWORD>(m_options.acceptDelayMs));
        };
        auto tick = [&](Session& session, long long* dataBytes) {
            Session::Output out;
            const auto now = Session::Clock::now();
            session.Tick(now, &out);
            *dataBytes += static_cast<long long>(out.data.size());
            Record(out.data);
            return session.DueReplies(now);
        };
        // How much a peer may still take before the emulator hangs up on it.
        auto allowance = [&](long long dataBytes) {
            if (m_options.hangUpAfter < 0)
                return kBlock;
            const long long left = m_options.hangUpAfter - dataBytes;
            return static_cast<std::size_t>(left < 0 ? 0 : std::min<long long>(left, kBlock));
        };
        while (!m_stop) {
            bool busy = false;
            DWORD avail = 0;
            if (pipe->Open() && pipe->Connected(0) && pipe->Waiting(&avail) && avail > 0) {
                const DWORD want = static_cast<DWORD>(std::min<std::size_t>(
                    allowance(deviceData), std::min<std::size_t>(avail, kBlock)));
                DWORD got = 0;
                if (want > 0 && pipe->Transfer(buf, want, &got, false) && got > 0) {
                    feed(device, &deviceData, buf, got);
                    busy = true;
                }
            }
            if (pipe->Open()) {
                auto replies = tick(device, &deviceData);
                if (!replies.empty() && pipe->Connected(0))
                    pipe->WriteAll(replies);
                if (m_options.hangUpAfter >= 0 && deviceData >= m_options.hangUpAfter) {
                    m_hungUp = true;  // told before the host can see the device go
                    pipe->Close();
                }
            }
            if (listener != INVALID_SOCKET) {
                fd_set readable;
                FD_ZERO(&readable);
                FD_SET(listener, &readable);
                for (auto& p : peers) FD_SET(p.socket, &readable);
                timeval none{0, 0};
                if (::select(0, &readable, nullptr, nullptr, &none) > 0) {
                    if (FD_ISSET(listener, &readable)) {
                        SOCKET c = ::accept(listener, nullptr, nullptr);
                        if (c != INVALID_SOCKET)
                            peers.push_back(Peer{
                                c, 0, std::make_unique<Session>(m_options.protocol, m_counters)});
                    }
                    for (auto& p : peers) {
                        if (!FD_ISSET(p.socket, &readable))
                            continue;
                        const std::size_t want = allowance(p.dataBytes);
                        int n = want ? ::recv(p.socket, reinterpret_cast<char*>(buf),
                                              static_cast<int>(want), 0)
                                     : 0;
                        if (n <= 0) {
                            ::closesocket(p.socket);
                            p.socket = INVALID_SOCKET;
                            continue;
                        }
                        feed(*p.session, &p.dataBytes, buf, static_cast<std::size_t>(n));
                        busy = true;
                    }
                }
                for (auto& p : peers) {
                    if (p.socket == INVALID_SOCKET)
                        continue;
                    auto replies = tick(*p.session, &p.dataBytes);
                    if ((!replies.empty() && !SendAllSocket(p.socket, replies)) ||
                        (m_options.hangUpAfter >= 0 && p.dataBytes >= m_options.hangUpAfter)) {
                        ::closesocket(p.socket);
                        p.socket = INVALID_SOCKET;
                    }
                }
                peers.remove_if([](const Peer& p) { return p.socket == INVALID_SOCKET; });
            }
            if (!busy)
                ::Sleep(1);
        }
        pipe->Close();
        for (auto& p : peers) ::closesocket(p.socket);
        if (listener != INVALID_SOCKET)
            ::closesocket(listener);
        if (m_record)
            std::fflush(m_record);
    });
    return true;
}

void PrinterEmulator::Stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_record) {
        std::fclose(m_record);
        m_record = nullptr;
    }
}

}  // namespace emu
