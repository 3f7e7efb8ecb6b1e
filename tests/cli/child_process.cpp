// Child processes for the end-to-end tests.
#include "cli/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env, bool pipeInput) {
    int out[2], err[2], in[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 ||
        (pipeInput && ::pipe2(in, O_CLOEXEC) != 0))
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (pipeInput)
        ::posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    else
        ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, err[1], 2);

    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        auto eq = entry.find('=');
        if (eq != std::string::npos)
            merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : env) {
        if (v.empty())
            merged.erase(k);
        else
            merged[k] = v;
    }
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : merged) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp, args;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (auto& s : argvCopy) args.push_back(s.data());
    args.push_back(nullptr);

    // The child starts with the default signal dispositions and an empty signal mask.
    posix_spawnattr_t attr;
    ::posix_spawnattr_init(&attr);
    sigset_t none, all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attr, &none);
    ::posix_spawnattr_setsigdefault(&attr, &all);
    ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    int rc = ::posix_spawn(&m_pid, args[0], &actions, &attr, args.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attr);
    ::close(out[1]);
    ::close(err[1]);
    if (pipeInput)
        ::close(in[0]);
    m_outFd = out[0];
    m_errFd = err[0];
    m_inFd = in[1];
    if (rc != 0) {
        m_pid = -1;
        m_ended = true;
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    }
}

ChildProcess::~ChildProcess() {
    if (!m_ended && m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        Reap(true);
    }
    for (int fd : {m_outFd, m_errFd, m_inFd})
        if (fd >= 0)
            ::close(fd);
}

void ChildProcess::WriteInput(const std::string& bytes) {
    std::size_t done = 0;
    while (m_inFd >= 0 && done < bytes.size()) {
        ssize_t n = ::write(m_inFd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

void ChildProcess::CloseInput() {
    if (m_inFd >= 0)
        ::close(m_inFd);
    m_inFd = -1;
}

void ChildProcess::Signal(int sig) {
    if (!m_ended && m_pid > 0)
        ::kill(m_pid, sig);
}

void ChildProcess::Collect(int waitMs) {
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    int n = ::poll(fds, 2, waitMs);
    if (n <= 0)
        return;
    char buf[65536];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
        if (got > 0)
            (i == 0 ? m_out : m_err).append(buf, static_cast<std::size_t>(got));
        else if (got == 0) {
            ::close(fds[i].fd);
            (i == 0 ? m_outFd : m_errFd) = -1;
        }
    }
}

bool ChildProcess::Reap(bool block) {
    if (m_ended)
        return true;
    int status = 0;
    pid_t r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    if (r == m_pid) {
        m_ended = true;
        m_status = status;
    }
    return m_ended;
}

bool ChildProcess::WaitFor(const std::string& stream, const std::string& needle,
                           std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (stream.find(needle) == std::string::npos) {
        if (Clock::now() >= deadline || (m_outFd < 0 && m_errFd < 0))
            return false;
        Collect(std::min(Remaining(deadline), 50));
    }
    return true;
}

bool ChildProcess::WaitForOutput(const std::string& needle, std::chrono::milliseconds limit) {
    return WaitFor(m_out, needle, limit);
}

bool ChildProcess::WaitForErrorOutput(const std::string& needle, std::chrono::milliseconds limit) {
    return WaitFor(m_err, needle, limit);
}

ProcessResult ChildProcess::Wait(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    ProcessResult result;
    while (!Reap(false) || m_outFd >= 0 || m_errFd >= 0) {
        if (Clock::now() >= deadline) {
            result.timedOut = true;
            break;
        }
        if (m_outFd < 0 && m_errFd < 0)
            ::usleep(10000);
        else
            Collect(std::min(Remaining(deadline), 50));
    }
    if (!m_ended) {
        ::kill(m_pid, SIGKILL);
        Reap(true);
    }
    if (WIFEXITED(m_status) && !result.timedOut)
        result.exitCode = WEXITSTATUS(m_status);
    if (WIFSIGNALED(m_status))
        result.signal = WTERMSIG(m_status);
    result.out = m_out;
    result.err = m_err;
    return result;
}

ProcessResult RunCli(const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env,
                     std::chrono::milliseconds limit) {
    std::vector<std::string> argv{PELLMAR_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    // No printer but the ones a test names.
    std::map<std::string, std::string> isolated{{"PELLMAR_DEVICES", ""}};
    for (const auto& [k, v] : env) isolated[k] = v;
    ChildProcess child(argv, isolated);
    return child.Wait(limit);
}

bool EmulatorAvailable() {
    return std::string(PELLMAR_EMU).size() > 0;
}

Emulator::Emulator(const std::string& text1, const std::string& text3,
                   std::vector<std::string> options, bool record)
    : m_text1(text1), m_text3(text3) {
    if (!EmulatorAvailable())
        return;
    std::vector<std::string> argv{PELLMAR_EMU, "--text1", text1, "--text3", text3};
    if (record) {
        char name[] = "/tmp/pellmar-cli-record-XXXXXX";
        int fd = ::mkstemp(name);
        if (fd >= 0)
            ::close(fd);
        m_record = name;
        argv.push_back("--record");
        argv.push_back(m_record);
    }
    argv.insert(argv.end(), options.begin(), options.end());
    m_process.emplace(argv);
    if (m_process->WaitForOutput("\n", std::chrono::seconds(10)))
        m_path = m_process->Out().substr(0, m_process->Out().find('\n'));
}

Emulator::~Emulator() {
    if (m_process) {
        m_process->Signal(SIGTERM);
        m_process->Wait(std::chrono::seconds(5));
    }
    if (!m_record.empty())
        std::remove(m_record.c_str());
}

std::string Emulator::StopAndRecorded() {
    if (m_process) {
        m_process->Signal(SIGTERM);
        m_process->Wait(std::chrono::seconds(5));
    }
    return ReadFileBytes(m_record);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
