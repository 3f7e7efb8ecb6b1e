// Shared pieces of the benchmarks: a receiver that ignores every message, and the process's CPU
// time.
#pragma once

#include <sys/resource.h>

#include "connection/slots.h"

class NullWindow final : public INotifyWindow {
public:
    void SendLinkMessage(std::uint32_t, std::uintptr_t, CONNECTION_SLOT*) override {}
    void PostLinkMessage(std::uint32_t, std::uintptr_t, CONNECTION_SLOT*) override {}
};

inline double ProcessCpuSeconds() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}
