// Child processes for the end-to-end tests: the program under test and the printer emulator, with
// their output captured, every wait bounded and every child killed when its object goes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not end by itself (or ended by a signal)
    int signal = 0;     // the signal that ended it, if one did
    bool timedOut = false;
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    // Starts argv[0] with the arguments. `env` adds to (or with an empty value, removes from) the
    // test's own environment. With `pipeInput` the child's standard input is a pipe the test
    // writes; otherwise it is /dev/null.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env = {}, bool pipeInput = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    void WriteInput(const std::string& bytes);
    void CloseInput();
    void Signal(int sig);

    // Collects output until the child's standard output holds `needle`, at most `limit`.
    bool WaitForOutput(const std::string& needle, std::chrono::milliseconds limit);
    // The same for its standard error.
    bool WaitForErrorOutput(const std::string& needle, std::chrono::milliseconds limit);
    // Collects output until the child has ended, at most `limit`; then kills it.
    ProcessResult Wait(std::chrono::milliseconds limit);
    // Output collected so far.
    const std::string& Out() const { return m_out; }
    const std::string& Err() const { return m_err; }

private:
    void Collect(int waitMs);
    bool WaitFor(const std::string& stream, const std::string& needle,
                 std::chrono::milliseconds limit);
    bool Reap(bool block);

    pid_t m_pid = -1;
    int m_outFd = -1, m_errFd = -1, m_inFd = -1;
    std::string m_out, m_err;
    bool m_ended = false;
    int m_status = 0;
};

// Runs pellmar-cli to its end (at most `limit`).
ProcessResult RunCli(const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env = {},
                     std::chrono::milliseconds limit = std::chrono::seconds(60));

// A running pellmar-printer-emu: its device path, and its record file when asked for one.
class Emulator {
public:
    // Starts the emulator with the options; `record` adds --record to a fresh temporary file.
    Emulator(const std::string& text1, const std::string& text3,
             std::vector<std::string> options = {}, bool record = true);
    ~Emulator();
    bool Started() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    std::string Name() const { return m_text1 + " " + m_text3; }
    // Stops the emulator (so its record is complete) and returns the recorded bytes.
    std::string StopAndRecorded();

private:
    std::string m_text1, m_text3, m_path, m_record;
    std::optional<ChildProcess> m_process;
};

// True when the emulator was built alongside the tests.
bool EmulatorAvailable();
std::string ReadFileBytes(const std::string& path);
