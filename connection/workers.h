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

// Parallel and serial ports: the readers hand what the port delivers to the window; the serial
// writer writes what a producer put into TxBuf.
unsigned ParallelReadThread(CONNECTION_SLOT* slot);
unsigned SerialReadThread(CONNECTION_SLOT* slot);
unsigned SerialWriteThread(CONNECTION_SLOT* slot);

// Pause between the passes of the port and network workers.
inline constexpr unsigned kPortPassPauseMs = 10;

// The serial reader and writer share one handle; it is closed by whichever of them ends last.
// The opener declares the number of users before it starts them; a worker whose handle was never
// shared closes it when it ends.
void SharePortHandle(platform::Handle h, int users);
void ReleasePortHandle(platform::Handle h);

// Network: one connection for the slot's life (mode 1), or one connection per burst of outgoing
// bytes, closed after the idle limit (mode 2).
unsigned NetSessionThread(CONNECTION_SLOT* slot);
unsigned NetJobThread(CONNECTION_SLOT* slot);

inline constexpr std::uint16_t kNetSessionPort = 9500;
inline constexpr std::uint16_t kNetJobPort = 9100;
// The TCP ports of later network opens in this process (tests, print servers with several ports).
void SetNetworkPorts(std::uint16_t sessionPort, std::uint16_t jobPort);
std::uint16_t NetSessionPort();
std::uint16_t NetJobPort();
