// Serial and parallel port set-up: the line settings record and the five port time-outs, and the
// calls that read and apply them to an open port.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform {

enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2 };
enum class StopBits : std::uint8_t { One = 0, Two = 2 };
enum class FlowControl : std::uint8_t { None = 0, RtsCts = 1, XonXoff = 2 };

// Line settings of a serial port.
struct SerialSettings {
    std::uint32_t baudRate = 9600;
    std::uint8_t dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    FlowControl flowControl = FlowControl::None;
};

// Port time-outs, in milliseconds. A read returns when `size` bytes came, or after
// readTotalConstant + readTotalMultiplier * size ms (0 and 0: no limit), or - with
// readInterval 0xFFFFFFFF and both totals 0 - at once with whatever has arrived. A write gives up
// after writeTotalConstant + writeTotalMultiplier * size ms (0 and 0: no limit).
struct SerialTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

// Reads the port's present line settings. False when the port cannot tell them.
bool GetCommState(Handle h, SerialSettings* settings);
// Applies line settings (raw binary mode). False, with LastError(), when the port refuses them.
bool SetCommState(Handle h, const SerialSettings& settings);
// Applies the time-outs; Read/Write on the port honour them from then on.
bool SetCommTimeouts(Handle h, const SerialTimeouts& timeouts);

}  // namespace platform
