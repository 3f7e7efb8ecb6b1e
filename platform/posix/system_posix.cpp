// POSIX error texts, sleeping and the clock.
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace platform {

std::string ErrorText(int code) {
    char buf[1024];
    // GNU strerror_r returns the text, which may or may not be in buf.
    const char* text = ::strerror_r(code, buf, sizeof buf);
    return text ? std::string(text) : std::string("Unknown error ") + std::to_string(code);
}

bool IsReadNotSupported(int code) {
    return code == EINVAL || code == ENOTSUP || code == EBADF;
}
bool IsDeviceBusy(int code) {
    return code == EBUSY;
}
bool IsAccessDenied(int code) {
    return code == EACCES || code == EPERM;
}

const char* PrinterAccessHint() {
    return "membership of the lp group";
}
char PathListSeparator() {
    return ':';
}

void SleepMs(unsigned milliseconds) {
    timespec ts{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

std::int64_t NowSeconds() {
    return static_cast<std::int64_t>(::time(nullptr));
}

}  // namespace platform
