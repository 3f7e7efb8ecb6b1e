// Named pipes that stand in for serial and parallel ports (the printer emulator, tests): a pipe
// has no line settings or port time-outs of its own, so the layer keeps them for it, and reads
// on it follow the kept time-outs as a port's reads follow its own.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/serial.h"

namespace platform::win32 {

bool IsPipe(HANDLE h);

void KeepPipeSettings(HANDLE h, const SerialSettings& settings);
std::optional<SerialSettings> PipeSettings(HANDLE h);
void KeepPipeTimeouts(HANDLE h, const SerialTimeouts& timeouts);
std::optional<SerialTimeouts> PipeTimeouts(HANDLE h);
// Called when the handle closes.
void ForgetPipe(HANDLE h);

// How long a read of `size` bytes waits under these time-outs: 0 returns at once with what has
// arrived, -1 waits for the first byte without limit.
int PipeReadWaitMs(const SerialTimeouts& t, std::uint32_t size);

}  // namespace platform::win32
