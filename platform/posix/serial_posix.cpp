// POSIX serial set-up: line settings through termios in raw binary mode, and the port time-outs,
// which Read and Write honour from then on (see port_io_posix.cpp).
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/port_timeouts.h"
#include "platform/serial.h"

namespace platform {
namespace {

struct Speed {
    std::uint32_t baud;
    speed_t code;
};

constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
};

bool Fail(int code) {
    SetLastError(code);
    return false;
}

bool SpeedCode(std::uint32_t baud, speed_t* code) {
    for (const auto& s : kSpeeds)
        if (s.baud == baud) {
            *code = s.code;
            return true;
        }
    return false;
}

std::uint32_t BaudOf(speed_t code) {
    for (const auto& s : kSpeeds)
        if (s.code == code)
            return s.baud;
    return 0;
}

tcflag_t SizeFlag(std::uint8_t dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

std::uint8_t DataBitsOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

}  // namespace

bool GetCommState(Handle h, SerialSettings* settings) {
    termios t{};
    if (::tcgetattr(static_cast<int>(h), &t) != 0)
        return Fail(errno);
    settings->baudRate = BaudOf(::cfgetospeed(&t));
    settings->dataBits = DataBitsOf(t.c_cflag);
    settings->parity =
        (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? Parity::Odd : Parity::Even) : Parity::None;
    settings->stopBits = (t.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
    if (t.c_cflag & CRTSCTS)
        settings->flowControl = FlowControl::RtsCts;
    else if (t.c_iflag & (IXON | IXOFF))
        settings->flowControl = FlowControl::XonXoff;
    else
        settings->flowControl = FlowControl::None;
    return true;
}

bool SetCommState(Handle h, const SerialSettings& s) {
    speed_t speed{};
    const bool validParity =
        s.parity == Parity::None || s.parity == Parity::Odd || s.parity == Parity::Even;
    const bool validStop = s.stopBits == StopBits::One || s.stopBits == StopBits::Two;
    const bool validFlow = s.flowControl == FlowControl::None ||
                           s.flowControl == FlowControl::RtsCts ||
                           s.flowControl == FlowControl::XonXoff;
    const int fd = static_cast<int>(h);
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return Fail(errno);
    if (!SpeedCode(s.baudRate, &speed) || s.dataBits < 5 || s.dataBits > 8 || !validParity ||
        !validStop || !validFlow)
        return Fail(EINVAL);

    // Raw binary: no translation of bytes, no echo, no signals; reads are driven by poll().
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | SizeFlag(s.dataBits);
    if (s.parity != Parity::None)
        t.c_cflag |= PARENB | (s.parity == Parity::Odd ? PARODD : 0);
    if (s.stopBits == StopBits::Two)
        t.c_cflag |= CSTOPB;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (s.flowControl == FlowControl::RtsCts)
        t.c_cflag |= CRTSCTS;
    else if (s.flowControl == FlowControl::XonXoff)
        t.c_iflag |= IXON | IXOFF;
    // With VMIN 0 a non-blocking read of an idle line returns 0 instead of EAGAIN, and poll()
    // reports the line readable all the time; VMIN 1 lets poll() wait for the first byte.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0)
        return Fail(errno);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return Fail(errno);
    return true;
}

bool SetCommTimeouts(Handle h, const SerialTimeouts& timeouts) {
    const int fd = static_cast<int>(h);
    if (h == kInvalidHandle || ::fcntl(fd, F_GETFD) < 0)
        return Fail(EBADF);
    // The time-outs are kept here and honoured by Read and Write, which wait in poll(); a raw
    // terminal must therefore make a read of an idle line wait rather than return nothing.
    termios t{};
    if (::isatty(fd) && ::tcgetattr(fd, &t) == 0 && !(t.c_lflag & ICANON) &&
        (t.c_cc[VMIN] != 1 || t.c_cc[VTIME] != 0)) {
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        (void)::tcsetattr(fd, TCSANOW, &t);
    }
    posix::RememberPortTimeouts(fd, timeouts);
    return true;
}

}  // namespace platform
