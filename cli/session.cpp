// What every verb shares: exit codes, error output, starting and stopping the connection module.
#include "cli/session.h"

#include <chrono>
#include <cstdio>

#include "cli/cli_window.h"
#include "connection/workers.h"
#include "platform/enumerate.h"
#include "platform/platform.h"

namespace cli {

// A worker that is still in a device write is asked every kWriteSliceMs to stop; this is ample.
inline constexpr auto kWorkerStopLimit = std::chrono::seconds(10);

void PrintError(const std::string& what, const std::string& hint) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, what.c_str());
    if (!hint.empty())
        std::fprintf(stderr, "%s\n", hint.c_str());
}

int UsageError(const std::string& verb, const std::string& reason) {
    std::string help = verb.empty() ? std::string(kProgramName) + " --help"
                                    : std::string(kProgramName) + " " + verb + " --help";
    PrintError(reason, "Run '" + help + "' for the usage.");
    return kExitUsage;
}

std::unique_ptr<CConnectionManager> StartModule(const std::vector<std::string>& devicePaths,
                                                bool discover) {
    platform::SetUserDevicePaths(devicePaths);
    if (discover)
        return std::make_unique<CConnectionManager>();
    return std::make_unique<CConnectionManager>(CConnectionManager::NoDiscovery{});
}

void StopModule(CConnectionManager& manager) {
    manager.CloseAllConnections();
    if (!WaitForWorkers(kWorkerStopLimit))
        PrintError("a connection worker did not stop in time; the device may still be busy");
}

int OpenFailureExitCode(const std::string& text) {
    if (text == "Invalid COM port name." || text == "Invalid Parallel Port Name")
        return kExitUsage;
    if (text == "Too Many Connections!" || text == "Invalid connection type!" ||
        text.rfind("Write failed", 0) == 0)
        return kExitFailed;
    return kExitNotFound;  // the printer or port could not be found or opened
}

std::string TakeOpenError() {
    std::string text;
    while (auto event = Window().Next(std::chrono::milliseconds(0)))
        if (event->message == WM_LINK_ERROR)
            text = event->error;
    return text.empty() ? g_strLinkError.Get() : text;
}

int CheckSourceFile(const std::string& path, const std::string& what, std::int64_t* size) {
    platform::Handle h = platform::OpenFileForReading(path);
    if (h == platform::kInvalidHandle) {
        PrintError("cannot open the " + what + " \"" + path +
                       "\": " + platform::ErrorText(platform::LastError()),
                   "Check the file's name and path, and that you may read it.");
        return kExitNotFound;
    }
    *size = platform::FileSize(h);
    std::uint8_t first = 0;
    std::uint32_t got = 0;
    const bool readable = platform::Read(h, &first, 1, &got, 0);
    const int error = platform::LastError();
    platform::Close(h);
    if (!readable) {
        PrintError("cannot read the " + what + " \"" + path + "\": " + platform::ErrorText(error),
                   "Give the path of a file, not of a folder.");
        return kExitNotFound;
    }
    return kExitOk;
}

std::string HumanBytes(double bytes) {
    static const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 4) {
        bytes /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

std::string HumanDuration(double seconds) {
    if (seconds < 0)
        seconds = 0;
    long long s = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

}  // namespace cli
