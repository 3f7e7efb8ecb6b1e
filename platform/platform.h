// The operating-system services the connection module uses: device and file I/O, error codes and
// their texts, sleeping and the clock. One implementation per OS lives in posix/ and win32/.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// An open device, port or file. On POSIX a file descriptor, on Windows a HANDLE.
using Handle = std::intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// Waits forever in Read/Write when passed as the time-out.
inline constexpr int kWaitForever = -1;

// Opens a device path for reading and writing, exclusively (no other opener may share it) and for
// synchronous use. Returns kInvalidHandle on failure; LastError() then tells why.
Handle OpenDevice(const std::string& path);

// Opens an existing file for reading. Returns kInvalidHandle on failure.
Handle OpenFileForReading(const std::string& path);

// Size in bytes of an open file, or -1 when it cannot be told.
std::int64_t FileSize(Handle h);

// One read of at most `size` bytes. Waits at most `timeoutMs` (kWaitForever: no limit) for the
// first byte. Returns false on an error (LastError() tells it); true otherwise, with *got = 0 when
// nothing came in time or at end of file.
bool Read(Handle h, void* buffer, std::uint32_t size, std::uint32_t* got,
          int timeoutMs = kWaitForever);

// One write of at most `size` bytes. Waits at most `timeoutMs` for the device to take anything.
// Returns false on an error; true otherwise, with *written the bytes taken, which may be fewer
// than `size` (0 when the device took nothing in time).
bool Write(Handle h, const void* data, std::uint32_t size, std::uint32_t* written,
           int timeoutMs = kWaitForever);

// Writes the whole buffer, retrying partial writes. `keepGoing` is asked after every wait of at
// most `sliceMs` in which the device took nothing; when it says no, the write stops early. Returns
// false on an error; *written holds the bytes taken either way.
template <typename KeepGoing>
bool WriteAll(Handle h, const void* data, std::uint32_t size, std::uint32_t* written, int sliceMs,
              KeepGoing keepGoing) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    *written = 0;
    while (*written < size) {
        std::uint32_t n = 0;
        if (!Write(h, bytes + *written, size - *written, &n, sliceMs))
            return false;
        *written += n;
        if (n == 0 && !keepGoing())
            return true;
    }
    return true;
}

void Close(Handle h);

// The error code of this thread's last failed platform call (errno on POSIX, GetLastError() on
// Windows), and the system's own text for a code.
int LastError();
void SetLastError(int code);
std::string ErrorText(int code);

// True for the codes by which a device says it cannot be read at all (a one-way printer).
bool IsReadNotSupported(int code);

// True for the codes of "someone else holds the device" and "you may not open the device".
bool IsDeviceBusy(int code);
bool IsAccessDenied(int code);

// How a user gets the right to open printer devices on this system, for error messages
// (e.g. "membership of the lp group").
const char* PrinterAccessHint();

// The separator of the device path lists in PELLMAR_DEVICES (':' on POSIX, ';' on Windows).
char PathListSeparator();

void SleepMs(unsigned milliseconds);

// The calendar clock in whole seconds.
std::int64_t NowSeconds();

}  // namespace platform
