// Console services on Windows: console handles, Ctrl+C through a console control handler, binary
// standard streams, and standard input polled with PeekNamedPipe when it is a pipe.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/console.h"
#include "platform/platform.h"

namespace platform {
namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnControl(DWORD) {
    // The first request asks for a clean stop; the next one ends the process the ordinary way.
    return g_interrupted.exchange(true) ? FALSE : TRUE;
}

HANDLE StdHandle(StdStream stream) {
    return ::GetStdHandle(stream == StdStream::Input    ? STD_INPUT_HANDLE
                          : stream == StdStream::Output ? STD_OUTPUT_HANDLE
                                                        : STD_ERROR_HANDLE);
}

InputStatus ReadNow(HANDLE h, void* buffer, std::uint32_t size, std::uint32_t* got) {
    DWORD n = 0;
    if (!::ReadFile(h, buffer, size, &n, nullptr)) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF)
            return InputStatus::End;
        SetLastError(static_cast<int>(err));
        return InputStatus::Error;
    }
    *got = n;
    return n > 0 ? InputStatus::Data : InputStatus::End;
}

}  // namespace

bool IsTerminal(StdStream stream) {
    DWORD mode = 0;
    HANDLE h = StdHandle(stream);
    return ::GetFileType(h) == FILE_TYPE_CHAR && ::GetConsoleMode(h, &mode) != FALSE;
}

void CatchInterrupt() {
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

bool InterruptRequested() {
    return g_interrupted.load();
}

void SetBinaryStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

InputStatus ReadStandardInput(void* buffer, std::uint32_t size, std::uint32_t* got, int timeoutMs) {
    *got = 0;
    HANDLE h = StdHandle(StdStream::Input);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return InputStatus::End;
    switch (::GetFileType(h)) {
        case FILE_TYPE_PIPE: {
            const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
            for (;;) {
                DWORD avail = 0;
                if (!::PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr))
                    return ReadNow(h, buffer, size, got);  // closed: End, or the error
                if (avail > 0)
                    return ReadNow(h, buffer, avail < size ? avail : size, got);
                if (timeoutMs >= 0 && ::GetTickCount64() >= deadline)
                    return InputStatus::NoData;
                ::Sleep(5);
            }
        }
        case FILE_TYPE_CHAR:
            if (::WaitForSingleObject(
                    h, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
                return InputStatus::NoData;
            return ReadNow(h, buffer, size, got);
        default:
            return ReadNow(h, buffer, size, got);
    }
}

}  // namespace platform
