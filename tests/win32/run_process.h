// Runs a program as its own process for tests on Windows: captures its standard output and
// error, waits a bounded time for its end and gives its exit code.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

struct ProcessResult {
    bool finished = false;  // false: it did not start, or was killed after the time limit
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

inline std::string QuoteArgument(const std::string& arg) {
    return "\"" + arg + "\"";
}

// `input` becomes the program's standard input, which then ends.
inline ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                const std::string& input = {},
                                std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!::CreatePipe(&outRead, &outWrite, &inherit, 0))
        return result;
    if (!::CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        ::CloseHandle(outRead);
        ::CloseHandle(outWrite);
        return result;
    }
    HANDLE inRead, inWrite;
    if (!::CreatePipe(&inRead, &inWrite, &inherit, 0)) {
        for (HANDLE h : {outRead, outWrite, errRead, errWrite}) ::CloseHandle(h);
        return result;
    }
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);

    std::string commandLine = QuoteArgument(program);
    for (const auto& a : args) commandLine += " " + QuoteArgument(a);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi{};
    const BOOL started = ::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                          nullptr, nullptr, &si, &pi);
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    ::CloseHandle(inRead);
    std::thread writer([inWrite, &input] {
        DWORD n = 0;
        if (!input.empty())
            ::WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &n, nullptr);
        ::CloseHandle(inWrite);  // end of input
    });
    auto drain = [](HANDLE h, std::string* into) {
        char buf[4096];
        DWORD n = 0;
        while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) into->append(buf, n);
    };
    std::thread outReader(drain, outRead, &result.out);
    std::thread errReader(drain, errRead, &result.err);
    if (started) {
        const DWORD ms = static_cast<DWORD>(limit.count());
        if (::WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) {
            result.finished = ::GetExitCodeProcess(pi.hProcess, &result.exitCode) != FALSE;
        } else {
            ::TerminateProcess(pi.hProcess, 99);
            ::WaitForSingleObject(pi.hProcess, INFINITE);
        }
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    writer.join();
    outReader.join();
    errReader.join();
    ::CloseHandle(outRead);
    ::CloseHandle(errRead);
    return result;
}
