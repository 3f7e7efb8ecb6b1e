// Line settings and time-outs kept for named pipes that stand in for ports.
#include "platform/win32/pipe_ports_win32.h"

#include <limits>
#include <mutex>
#include <unordered_map>

namespace platform::win32 {
namespace {

struct PipePort {
    std::optional<SerialSettings> settings;
    std::optional<SerialTimeouts> timeouts;
};

std::mutex g_mutex;
std::unordered_map<HANDLE, PipePort> g_pipes;

}  // namespace

bool IsPipe(HANDLE h) {
    return ::GetFileType(h) == FILE_TYPE_PIPE;
}

void KeepPipeSettings(HANDLE h, const SerialSettings& settings) {
    std::lock_guard lock(g_mutex);
    g_pipes[h].settings = settings;
}

std::optional<SerialSettings> PipeSettings(HANDLE h) {
    std::lock_guard lock(g_mutex);
    auto it = g_pipes.find(h);
    return it == g_pipes.end() ? std::nullopt : it->second.settings;
}

void KeepPipeTimeouts(HANDLE h, const SerialTimeouts& timeouts) {
    std::lock_guard lock(g_mutex);
    g_pipes[h].timeouts = timeouts;
}

std::optional<SerialTimeouts> PipeTimeouts(HANDLE h) {
    std::lock_guard lock(g_mutex);
    auto it = g_pipes.find(h);
    return it == g_pipes.end() ? std::nullopt : it->second.timeouts;
}

void ForgetPipe(HANDLE h) {
    std::lock_guard lock(g_mutex);
    g_pipes.erase(h);
}

int PipeReadWaitMs(const SerialTimeouts& t, std::uint32_t size) {
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    // "Return at once with what has arrived".
    if (t.readInterval == kMax && t.readTotalMultiplier == 0 && t.readTotalConstant == 0)
        return 0;
    // "Wait up to the constant for the first byte, then return with what has arrived".
    if (t.readInterval == kMax && t.readTotalMultiplier == kMax)
        return t.readTotalConstant == kMax ? -1 : static_cast<int>(t.readTotalConstant);
    const std::uint64_t total = std::uint64_t{t.readTotalMultiplier} * size + t.readTotalConstant;
    if (total == 0)
        return -1;
    return total > static_cast<std::uint64_t>(std::numeric_limits<int>::max())
               ? std::numeric_limits<int>::max()
               : static_cast<int>(total);
}

}  // namespace platform::win32
