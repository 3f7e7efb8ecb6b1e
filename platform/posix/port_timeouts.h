// Internal to the POSIX platform layer: the port time-outs recorded per open descriptor, and the
// reads and writes that honour them.
#pragma once

#include <optional>

#include "platform/serial.h"

namespace platform::posix {

void RememberPortTimeouts(int fd, const SerialTimeouts& timeouts);
// Called before a descriptor is closed, so that a later descriptor of the same number starts clean.
void ForgetPortTimeouts(int fd);
std::optional<SerialTimeouts> PortTimeouts(int fd);

// A read as a port with these time-outs does it: at once with what has arrived (interval
// 0xFFFFFFFF, totals 0); otherwise until `size` bytes came, the total time passed, or - after the
// first byte - the interval passed without another byte.
bool ReadWithTimeouts(int fd, unsigned char* buffer, std::uint32_t size, std::uint32_t* got,
                      const SerialTimeouts& timeouts);
// A write that takes the whole buffer unless the total time passes first (0: no limit).
bool WriteWithTimeouts(int fd, const unsigned char* data, std::uint32_t size,
                       std::uint32_t* written, const SerialTimeouts& timeouts);

}  // namespace platform::posix
