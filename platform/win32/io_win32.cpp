// Win32 device and file I/O: synchronous handles from CreateFileA. Reads on named pipes wait in
// short slices on PeekNamedPipe; reads on other devices with a time-out are cancelled by a
// watchdog when the time is up, so that every wait stays bounded.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/platform.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/pipe_ports_win32.h"

namespace platform {
namespace {

thread_local int t_lastError = 0;

bool Fail() {
    t_lastError = static_cast<int>(::GetLastError());
    return false;
}

// How long one wait for a named pipe sleeps before it looks again.
constexpr DWORD kPipePollSliceMs = 2;
// How long an open waits for a busy named pipe.
constexpr ULONGLONG kBusyPipeWaitMs = 500;

// A read on a named pipe: waits in slices until bytes are there, the time is up or the pipe fails.
bool ReadPipe(HANDLE h, void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        DWORD avail = 0;
        if (!::PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr))
            return Fail();
        if (avail > 0) {
            DWORD n = 0;
            if (!::ReadFile(h, buffer, avail < size ? avail : size, &n, nullptr))
                return Fail();
            *got = n;
            return true;
        }
        if (Clock::now() >= deadline)
            return true;
        ::Sleep(kPipePollSliceMs);
    }
}

// A read on any other device, with a time-out: a watchdog thread cancels the synchronous read
// once the time is up (and keeps cancelling, in case the read had not started yet).
bool ReadWithWatchdog(HANDLE h, void* buffer, std::uint32_t size, std::uint32_t* got,
                      int timeoutMs) {
    HANDLE self = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                           &self, THREAD_TERMINATE, FALSE, 0))
        return Fail();
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done; }))
            return;
        while (!done) {
            ::CancelSynchronousIo(self);
            cv.wait_for(lock, std::chrono::milliseconds(10), [&] { return done; });
        }
    });
    DWORD n = 0;
    BOOL ok = ::ReadFile(h, buffer, size, &n, nullptr);
    DWORD err = ok ? 0 : ::GetLastError();
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_all();
    watchdog.join();
    ::CloseHandle(self);
    *got = n;
    if (ok || err == ERROR_OPERATION_ABORTED)
        return true;  // nothing (more) came in time
    t_lastError = static_cast<int>(err);
    return false;
}

}  // namespace

int LastError() {
    return t_lastError;
}
void SetLastError(int code) {
    t_lastError = code;
    ::SetLastError(static_cast<DWORD>(code));
}

Handle OpenDevice(const std::string& path) {
    // A named pipe that stands in for a device (the printer emulator) serves one opener at a
    // time and is briefly busy while it turns from one opener to the next: wait for it a little,
    // as a pipe client should. Held by another program, it stays busy and the open fails.
    const ULONGLONG deadline = ::GetTickCount64() + kBusyPipeWaitMs;
    for (;;) {
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return FromHandle(h);
        Fail();
        const ULONGLONG now = ::GetTickCount64();
        if (t_lastError != ERROR_PIPE_BUSY || now >= deadline)
            return kInvalidHandle;
        if (!::WaitNamedPipeA(path.c_str(), static_cast<DWORD>(deadline - now)) &&
            ::GetLastError() != ERROR_SEM_TIMEOUT)
            ::Sleep(kPipePollSliceMs);
    }
}

Handle OpenFileForReading(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail();
        return kInvalidHandle;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(h);
        t_lastError = ERROR_DIRECTORY;
        return kInvalidHandle;
    }
    return FromHandle(h);
}

std::int64_t FileSize(Handle h) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(ToHandle(h), &size)) {
        Fail();
        return -1;
    }
    return size.QuadPart;
}

bool Read(Handle h, void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs) {
    *got = 0;
    HANDLE handle = ToHandle(h);
    const DWORD type = ::GetFileType(handle);
    // A pipe that stands in for a port reads as the port's time-outs say.
    if (timeoutMs < 0 && type == FILE_TYPE_PIPE)
        if (auto t = win32::PipeTimeouts(handle))
            timeoutMs = win32::PipeReadWaitMs(*t, size);
    if (timeoutMs >= 0 && type == FILE_TYPE_PIPE)
        return ReadPipe(handle, buffer, size, got, timeoutMs);
    if (timeoutMs >= 0 && type != FILE_TYPE_DISK)
        return ReadWithWatchdog(handle, buffer, size, got, timeoutMs);
    DWORD n = 0;
    if (!::ReadFile(handle, buffer, size, &n, nullptr)) {
        // The other end of a pipe closed: end of data, as a closed FIFO reads on POSIX.
        if (::GetLastError() == ERROR_BROKEN_PIPE && type == FILE_TYPE_PIPE && timeoutMs < 0)
            return true;
        return Fail();
    }
    *got = n;
    return true;
}

// Synchronous handles take the whole buffer before WriteFile returns (a serial port may take
// fewer bytes when its write time-out ends the call); the time-out is left to the device.
bool Write(Handle h, const void* data, std::uint32_t size, std::uint32_t* written, int) {
    *written = 0;
    if (size == 0)
        return true;
    DWORD n = 0;
    if (!::WriteFile(ToHandle(h), data, size, &n, nullptr))
        return Fail();
    *written = n;
    return true;
}

void Close(Handle h) {
    if (h == kInvalidHandle)
        return;
    win32::ForgetPipe(ToHandle(h));
    ::CloseHandle(ToHandle(h));
}

}  // namespace platform
