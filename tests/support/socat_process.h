// Runs socat as a child process for tests: a serial pair of pseudo-terminals, or a plain TCP
// listener that no code of ours runs. Every wait is bounded; the process ends with the object.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class SocatProcess {
public:
    // Starts `socat -d -d args...`, its diagnostics going to a file of its own.
    explicit SocatProcess(const std::vector<std::string>& args);
    ~SocatProcess();
    SocatProcess(const SocatProcess&) = delete;
    SocatProcess& operator=(const SocatProcess&) = delete;

    // Waits until socat's diagnostics contain `text` (e.g. "listening on"), at most `limit`.
    bool WaitForLog(const std::string& text,
                    std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    // How often `text` occurs in socat's diagnostics, now and after waiting for `count` of them.
    int LogCount(const std::string& text) const;
    bool WaitForLogCount(const std::string& text, int count,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // Ends socat now (the peers it served see the line or connection go).
    void Stop();

    // A pair of linked pseudo-terminals in raw mode, as a null-modem cable between two serial
    // ports, reachable under the two link paths.
    static std::vector<std::string> PtyPairArgs(const std::string& linkA, const std::string& linkB);

private:
    pid_t m_pid = -1;
    std::string m_log;
};

// A fresh temporary directory, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

private:
    std::string m_dir;
};

// Waits until a file system path exists, at most `limit`.
bool WaitForPath(const std::string& path,
                 std::chrono::milliseconds limit = std::chrono::seconds(5));

// A TCP port on 127.0.0.1 that was free a moment ago (for a listener started by another program).
unsigned short FreeLoopbackPort();
