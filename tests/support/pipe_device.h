// A stand-in printer device for tests on Windows: a named pipe (\\.\pipe\pellmar-test-...) that
// the code under test opens with CreateFileA like a device. A server thread accepts one opener
// after the other, in order, collects what they write and can answer through a responder.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PipeDevice {
public:
    // Sees the bytes of the present opener that it has not consumed yet; erases what it consumed
    // and returns the bytes to send back (none: stay silent).
    using Responder = std::function<std::vector<std::uint8_t>(std::vector<std::uint8_t>& pending)>;

    explicit PipeDevice(Responder responder = {});
    ~PipeDevice();
    PipeDevice(const PipeDevice&) = delete;
    PipeDevice& operator=(const PipeDevice&) = delete;

    const std::string& Path() const { return m_path; }

    // The device hangs up (see HangUp) once this many bytes have arrived in all.
    void HangUpAfter(long long bytes) { m_hangUpAfter = bytes; }
    // Waits until at least n bytes arrived, at most `limit`.
    bool WaitForBytes(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(20));
    std::vector<std::uint8_t> Received() const;
    // How many openers the device has accepted so far.
    int Openers() const { return m_openers.load(); }
    // Unplugs the device: the present opener's next write fails and later opens find nothing.
    void HangUp() { m_hangUp = true; }

private:
    void Serve();

    std::string m_path;
    Responder m_responder;
    std::atomic<long long> m_hangUpAfter{-1};
    std::atomic<bool> m_hangUp{false};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_openers{0};
    std::atomic<bool> m_listening{false};
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_received;
    std::thread m_server;
};
