// Worker threads of the connection module and how they are started and waited for.
#pragma once

#include <chrono>

#include "connection/slots.h"

using WorkerEntry = unsigned (*)(CONNECTION_SLOT* slot);

// Starts a detached worker with the slot as its only parameter; the module keeps count of the
// workers that are still running.
void StartWorker(WorkerEntry entry, CONNECTION_SLOT* slot);

// Waits until every worker has ended, at most `limit`. True when none is left.
bool WaitForWorkers(std::chrono::milliseconds limit);
int RunningWorkers();

// USB: streams hSourceFile to hDevice in chunks.
unsigned UsbSendThread(CONNECTION_SLOT* slot);

// Pause after each chunk of the USB send thread.
inline constexpr unsigned kUsbChunkPauseMs = 12;
inline constexpr std::uint32_t kUsbChunkSize = 4096;
// A blocked device write is looked at this often to see whether the transfer was stopped.
inline constexpr int kWriteSliceMs = 100;

// Pause after each chunk for the current process; the CLI lets a technician change it.
void SetUsbChunkPauseMs(unsigned ms);
unsigned UsbChunkPauseMs();
