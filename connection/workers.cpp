// Starting worker threads and keeping count of the running ones.
#include "connection/workers.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

std::mutex g_workerMutex;
std::condition_variable g_workerCv;
int g_runningWorkers = 0;

}  // namespace

void StartWorker(WorkerEntry entry, CONNECTION_SLOT* slot) {
    {
        std::lock_guard lock(g_workerMutex);
        ++g_runningWorkers;
    }
    std::thread([entry, slot] {
        entry(slot);
        std::lock_guard lock(g_workerMutex);
        --g_runningWorkers;
        g_workerCv.notify_all();
    }).detach();
}

bool WaitForWorkers(std::chrono::milliseconds limit) {
    std::unique_lock lock(g_workerMutex);
    return g_workerCv.wait_for(lock, limit, [] { return g_runningWorkers == 0; });
}

int RunningWorkers() {
    std::lock_guard lock(g_workerMutex);
    return g_runningWorkers;
}
