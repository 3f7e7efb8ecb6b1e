// Discovery time at start-up with emulated printers attached through the user's device paths:
// 0, 1 and 3 answering printers, and a silent device that costs the budget's queries.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <memory>
#include <vector>

#include "connection/manager.h"
#include "platform/enumerate.h"
#include "printer_emulator.h"

namespace {

void BM_Discovery(benchmark::State& state) {
    const int answering = static_cast<int>(state.range(0));
    const int silent = static_cast<int>(state.range(1));
    ::unsetenv("PELLMAR_DEVICES");
    std::vector<std::unique_ptr<emu::PrinterEmulator>> printers;
    std::vector<std::string> paths;
    for (int i = 0; i < answering + silent; ++i) {
        emu::EmulatorOptions o;
        o.protocol.text3 = "Printer " + std::to_string(i);
        if (i >= answering)
            o.protocol.silentQueries = 1 << 30;  // never answers
        printers.push_back(std::make_unique<emu::PrinterEmulator>(o));
        if (!printers.back()->Start()) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        paths.push_back(printers.back()->DevicePath());
    }
    platform::SetUserDevicePaths(paths);
    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    for (auto _ : state) {
        manager.EnumerateUsbPrinters();
        if (g_nUsbPrinters != answering)
            state.SkipWithError("wrong number of printers found");
    }
    state.counters["printers"] = g_nUsbPrinters;
    platform::SetUserDevicePaths({});
}
BENCHMARK(BM_Discovery)
    ->ArgNames({"answering", "silent"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({3, 0})
    ->Args({0, 1})
    ->Args({3, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace
