// A stand-in printer device for tests: a pseudo-terminal in raw mode whose slave path the code
// under test opens; the test reads what arrives on the master side, and can hang up.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PtyDevice {
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    const std::string& Path() const { return m_path; }

    // Collects everything written to the device on a thread of its own. When hangUpAfter is
    // non-negative, the master closes once that many bytes have arrived (the writer then fails).
    void StartCollecting(long long hangUpAfter = -1);
    // Waits until at least n bytes arrived, at most `limit`.
    bool WaitForBytes(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(20));
    std::vector<std::uint8_t> Received() const;
    // Writes bytes for the code under test to read.
    void Reply(const std::vector<std::uint8_t>& bytes);
    // Closes the master: the next write to the device fails.
    void HangUp();

private:
    void Collect(long long hangUpAfter);

    std::atomic<int> m_master{-1};
    int m_slave = -1;
    std::string m_path;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_received;
};
