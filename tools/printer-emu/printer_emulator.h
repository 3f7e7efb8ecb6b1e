// An emulated printer on a pseudo-terminal (and, if asked, on a loopback TCP port): answers the
// management packets and records the print data it receives. Runs its own I/O thread, so tests
// can run several in one process.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emu_protocol.h"

namespace emu {

struct EmulatorOptions {
    ProtocolOptions protocol;
    std::string recordPath;      // print data also goes to this file ("" : memory only)
    int acceptDelayMs = 0;       // pause after every block read
    long long hangUpAfter = -1;  // close the device after this many data bytes (-1: never)
    int tcpPort = -1;            // also listen on 127.0.0.1:port (0: any free port; -1: no TCP)
};

class PrinterEmulator {
public:
    explicit PrinterEmulator(EmulatorOptions options = {});
    ~PrinterEmulator();
    PrinterEmulator(const PrinterEmulator&) = delete;
    PrinterEmulator& operator=(const PrinterEmulator&) = delete;

    // Creates the pseudo-terminal (and the TCP listener) and starts answering. False with
    // Error() set when something could not be set up.
    bool Start();
    // Serves an existing device master instead of a pseudo-terminal of its own (umockdev gives
    // one). Reads that fail with EIO mean nobody has the device open yet and are retried.
    bool StartOnFd(int masterFd);
    void Stop();

    const std::string& DevicePath() const { return m_path; }
    int TcpPort() const { return m_tcpPort; }
    const std::string& Error() const { return m_error; }

    std::vector<std::uint8_t> Recorded() const;
    std::size_t RecordedSize() const;
    // Waits until at least n bytes of data were recorded, at most `limit`.
    bool WaitForRecorded(std::size_t n, std::chrono::milliseconds limit) const;
    int IdentifyQueries() const { return m_counters.identifyQueries.load(); }
    int ChannelSelected() const { return m_counters.channelSelected.load(); }
    bool HungUp() const { return m_hungUp.load(); }

private:
    struct Peer;
    bool OpenPty();
    bool OpenTcp();
    void Run();
    void Serve(Peer& peer, bool* closePeer);
    void Record(const std::vector<std::uint8_t>& data);
    void HangUpDevice();

    EmulatorOptions m_options;
    ProtocolCounters m_counters;
    std::string m_path;
    std::string m_error;
    int m_master = -1;
    int m_slave = -1;
    bool m_ownsMaster = true;
    int m_listen = -1;
    int m_tcpPort = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hungUp{false};
    std::thread m_thread;
    std::FILE* m_record = nullptr;
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_recorded;
};

}  // namespace emu
