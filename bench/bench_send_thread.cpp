// Benchmarks of the USB send thread: CPU use of a waiting worker, and the cost of a chunk when
// the device is a socket pair that takes everything at once.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "bench_support.h"
#include "connection/manager.h"
#include "connection/workers.h"

namespace {

// Starts a send thread on a socket pair and lets it wait for a transfer for one second; reports
// the CPU it used as a percentage of one core.
void BM_WaitingSendThreadCpu(benchmark::State& state) {
    NullWindow window;
    for (auto _ : state) {
        int sv[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, sv);
        CONNECTION_SLOT& slot = g_ConnectionSlots[0];
        slot.nClaim.fetch_add(1);
        slot.bActive = 1;
        slot.hWndNotify = &window;
        slot.hDevice.store(sv[0]);
        slot.bSending = 0;
        StartWorker(UsbSendThread, &slot);
        double before = ProcessCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        double used = ProcessCpuSeconds() - before;
        slot.bActive = 0;
        WaitForWorkers(std::chrono::seconds(5));
        ::close(sv[1]);
        state.counters["cpu_percent"] = used * 100.0;
    }
}
BENCHMARK(BM_WaitingSendThreadCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

// Time from bSending set to the first progress message (one 1-byte chunk, no pause after it).
class FirstChunkWindow final : public INotifyWindow {
public:
    std::atomic<bool> progressed{false};
    void SendLinkMessage(std::uint32_t m, std::uintptr_t, CONNECTION_SLOT*) override {
        if (m == WM_LINK_PROGRESS)
            progressed = true;
    }
    void PostLinkMessage(std::uint32_t, std::uintptr_t, CONNECTION_SLOT*) override {}
};

void BM_StartLatency(benchmark::State& state) {
    SetUsbChunkPauseMs(0);
    for (auto _ : state) {
        FirstChunkWindow window;
        int sv[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, sv);
        int pipefd[2];
        ::pipe(pipefd);
        ::write(pipefd[1], "x", 1);
        ::close(pipefd[1]);
        CONNECTION_SLOT& slot = g_ConnectionSlots[0];
        slot.nClaim.fetch_add(1);
        slot.bActive = 1;
        slot.hWndNotify = &window;
        slot.hDevice.store(sv[0]);
        slot.bSending = 0;
        StartWorker(UsbSendThread, &slot);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        auto t0 = std::chrono::steady_clock::now();
        slot.hSourceFile.store(pipefd[0]);
        slot.bSending = 1;
        while (!window.progressed) std::this_thread::yield();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        slot.bActive = 0;
        WaitForWorkers(std::chrono::seconds(5));
        ::close(pipefd[0]);
        ::close(sv[1]);
    }
    SetUsbChunkPauseMs(kUsbChunkPauseMs);
}
BENCHMARK(BM_StartLatency)->Iterations(50)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
