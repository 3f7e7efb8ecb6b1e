// Benchmarks of the port and network workers: CPU use of idle serial, parallel and network slots,
// and how fast a producer's 1024-byte hand-overs go through a serial line (a socat pseudo-terminal
// pair) and over loopback TCP in both network modes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "bench_support.h"
#include "connection/manager.h"
#include "connection/workers.h"
#include "support/pty_device.h"
#include "support/socat_process.h"
#include "support/tcp_listener.h"

namespace {

CONNECTION_SLOT* Open(CConnectionManager& manager, INotifyWindow* window, std::int32_t type,
                      const std::string& port, std::int32_t mode, std::uint32_t idle) {
    CONNECTION_REQUEST r;
    r.nType = type;
    r.strPort = port;
    r.nMode = mode;
    r.nIdleTimeout = idle;
    r.hWndNotify = window;
    return manager.OpenConnection(r);
}

// Hands over `rounds` full buffers and waits for each to be taken.
void HandOver(CONNECTION_SLOT* slot, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        slot->nTxLen = kLinkBufferSize;
        g_slotSignal.WaitFor(std::chrono::seconds(10), [&] { return slot->nTxLen.load() == 0; });
    }
}

// A serial slot on a socat pair whose far end is drained by a thread of its own.
struct SerialLine {
    SerialLine() : socat(SocatProcess::PtyPairArgs(dir.Path("a"), dir.Path("b"))) {
        WaitForPath(dir.Path("a"));
        WaitForPath(dir.Path("b"));
        ::setenv("PELLMAR_COM1", dir.Path("a").c_str(), 1);
        far = ::open(dir.Path("b").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        drain = std::thread([this] {
            char buf[4096];
            while (!stop) {
                pollfd p{far, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0)
                    (void)::read(far, buf, sizeof buf);
            }
        });
    }
    ~SerialLine() {
        stop = true;
        drain.join();
        ::close(far);
    }
    TempDir dir;
    SocatProcess socat;
    int far = -1;
    std::atomic<bool> stop{false};
    std::thread drain;
};

void BM_IdleSlotsCpu(benchmark::State& state) {
    NullWindow window;
    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    SerialLine line;
    PtyDevice printer;
    ::setenv("PELLMAR_LPT1", printer.Path().c_str(), 1);
    TcpListener listener;
    SetNetworkPorts(listener.Port(), listener.Port());
    for (auto _ : state) {
        Open(manager, &window, CONN_SERIAL, "COM1:", 0, 5);
        Open(manager, &window, CONN_PARALLEL, "LPT1:", 0, 0);
        Open(manager, &window, CONN_NETWORK, "127.0.0.1", 1, 0);
        Open(manager, &window, CONN_NETWORK, "127.0.0.1", 2, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double before = ProcessCpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        state.counters["cpu_percent_of_core"] = (ProcessCpuSeconds() - before) / 2 * 100.0;
        manager.CloseAllConnections();
        WaitForWorkers(std::chrono::seconds(5));
    }
}
BENCHMARK(BM_IdleSlotsCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SerialHandOver(benchmark::State& state) {
    NullWindow window;
    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    SerialLine line;
    CONNECTION_SLOT* slot = Open(manager, &window, CONN_SERIAL, "COM1:", 0, 5);
    for (auto _ : state) HandOver(slot, 1);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kLinkBufferSize);
    manager.CloseAllConnections();
    WaitForWorkers(std::chrono::seconds(5));
}
BENCHMARK(BM_SerialHandOver)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NetworkHandOver(benchmark::State& state) {
    NullWindow window;
    CConnectionManager manager{CConnectionManager::NoDiscovery{}};
    TcpListener listener;
    SetNetworkPorts(listener.Port(), listener.Port());
    CONNECTION_SLOT* slot =
        Open(manager, &window, CONN_NETWORK, "127.0.0.1", static_cast<int>(state.range(0)), 20);
    for (auto _ : state) HandOver(slot, 1);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kLinkBufferSize);
    manager.CloseAllConnections();
    WaitForWorkers(std::chrono::seconds(5));
}
BENCHMARK(BM_NetworkHandOver)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
