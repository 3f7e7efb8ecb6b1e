// socat child processes, temporary directories and free loopback ports for tests.
#include "support/socat_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

SocatProcess::SocatProcess(const std::vector<std::string>& args) {
    char name[] = "/tmp/pellmar-socat-log-XXXXXX";
    int logFd = ::mkstemp(name);
    if (logFd < 0)
        throw std::runtime_error("no log file for socat");
    m_log = name;
    std::vector<std::string> all{"socat", "-d", "-d"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    // posix_spawn: safe in a process that already runs threads.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, logFd, STDERR_FILENO);
    int r = ::posix_spawnp(&m_pid, "socat", &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(logFd);
    if (r != 0) {
        m_pid = -1;
        throw std::runtime_error("cannot start socat");
    }
}

SocatProcess::~SocatProcess() {
    Stop();
    std::remove(m_log.c_str());
}

void SocatProcess::Stop() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    // socat ends at once on SIGTERM; give it a bounded time, then force it.
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

int SocatProcess::LogCount(const std::string& text) const {
    std::ifstream in(m_log);
    std::stringstream all;
    all << in.rdbuf();
    const std::string log = all.str();
    int n = 0;
    for (auto pos = log.find(text); pos != std::string::npos; pos = log.find(text, pos + 1)) ++n;
    return n;
}

bool SocatProcess::WaitForLogCount(const std::string& text, int count,
                                   std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (LogCount(text) < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool SocatProcess::WaitForLog(const std::string& text, std::chrono::milliseconds limit) const {
    return WaitForLogCount(text, 1, limit);
}

std::vector<std::string> SocatProcess::PtyPairArgs(const std::string& linkA,
                                                   const std::string& linkB) {
    return {"pty,raw,echo=0,link=" + linkA, "pty,raw,echo=0,link=" + linkB};
}

TempDir::TempDir() {
    char name[] = "/tmp/pellmar-dir-XXXXXX";
    if (!::mkdtemp(name))
        throw std::runtime_error("no temporary directory");
    m_dir = name;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

bool WaitForPath(const std::string& path, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::access(path.c_str(), F_OK) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

unsigned short FreeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}
