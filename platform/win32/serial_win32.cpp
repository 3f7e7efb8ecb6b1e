// Serial port set-up on Windows: our line settings and time-outs mapped onto the port's DCB and
// COMMTIMEOUTS (kept by the layer for a named pipe that stands in for a port).
#include <windows.h>

#include "platform/serial.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/pipe_ports_win32.h"

namespace platform {

bool GetCommState(Handle h, SerialSettings* settings) {
    if (win32::IsPipe(ToHandle(h))) {
        *settings = win32::PipeSettings(ToHandle(h)).value_or(SerialSettings{});
        return true;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(ToHandle(h), &dcb)) {
        SetLastError(static_cast<int>(::GetLastError()));
        return false;
    }
    settings->baudRate = dcb.BaudRate;
    settings->dataBits = dcb.ByteSize;
    settings->parity = dcb.Parity == ODDPARITY    ? Parity::Odd
                       : dcb.Parity == EVENPARITY ? Parity::Even
                                                  : Parity::None;
    settings->stopBits = dcb.StopBits == TWOSTOPBITS ? StopBits::Two : StopBits::One;
    settings->flowControl = dcb.fOutxCtsFlow ? FlowControl::RtsCts
                            : dcb.fOutX      ? FlowControl::XonXoff
                                             : FlowControl::None;
    return true;
}

bool SetCommState(Handle h, const SerialSettings& settings) {
    if (win32::IsPipe(ToHandle(h))) {
        win32::KeepPipeSettings(ToHandle(h), settings);
        return true;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(ToHandle(h), &dcb)) {
        SetLastError(static_cast<int>(::GetLastError()));
        return false;
    }
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.dataBits;
    dcb.Parity = settings.parity == Parity::Odd    ? ODDPARITY
                 : settings.parity == Parity::Even ? EVENPARITY
                                                   : NOPARITY;
    dcb.fParity = settings.parity != Parity::None;
    dcb.StopBits = settings.stopBits == StopBits::Two ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    const bool rtsCts = settings.flowControl == FlowControl::RtsCts;
    const bool xonXoff = settings.flowControl == FlowControl::XonXoff;
    dcb.fOutxCtsFlow = rtsCts;
    dcb.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fOutX = xonXoff;
    dcb.fInX = xonXoff;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(ToHandle(h), &dcb)) {
        SetLastError(static_cast<int>(::GetLastError()));
        return false;
    }
    return true;
}

bool SetCommTimeouts(Handle h, const SerialTimeouts& timeouts) {
    if (win32::IsPipe(ToHandle(h))) {
        win32::KeepPipeTimeouts(ToHandle(h), timeouts);
        return true;
    }
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = timeouts.readInterval;
    t.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
    t.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    t.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    t.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    if (!::SetCommTimeouts(ToHandle(h), &t)) {
        SetLastError(static_cast<int>(::GetLastError()));
        return false;
    }
    return true;
}

}  // namespace platform
