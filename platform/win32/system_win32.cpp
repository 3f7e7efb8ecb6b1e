// Win32 error texts (the system's message table), sleeping and the clock.
#include <windows.h>

#include <ctime>

#include "platform/platform.h"

namespace platform {

const char* PrinterAccessHint() {
    return "an administrator's permission to use the printer";
}
char PathListSeparator() {
    return ';';
}

std::string ErrorText(int code) {
    char buf[1024];
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               static_cast<DWORD>(code), 0x0400, buf, sizeof buf, nullptr);
    // The table's texts end in a line break; the callers add their own punctuation.
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r' || buf[n - 1] == ' ')) --n;
    if (n == 0)
        return "Unknown error " + std::to_string(code);
    return std::string(buf, n);
}

bool IsReadNotSupported(int code) {
    return code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
           code == ERROR_INVALID_PARAMETER || code == ERROR_INVALID_HANDLE;
}
bool IsDeviceBusy(int code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_BUSY || code == ERROR_PIPE_BUSY;
}
bool IsAccessDenied(int code) {
    return code == ERROR_ACCESS_DENIED;
}

void SleepMs(unsigned milliseconds) {
    ::Sleep(milliseconds);
}

std::int64_t NowSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace platform
