// What every verb shares: exit codes, error output, starting and stopping the connection module.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "connection/manager.h"

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;    // the operation failed
inline constexpr int kExitUsage = 2;     // bad usage
inline constexpr int kExitNotFound = 3;  // the named printer, port or file was not found or opened

inline constexpr const char* kProgramName = "pellmar-cli";

// Prints "pellmar-cli: <what>" and, when given, a second line with what to do, on stderr.
void PrintError(const std::string& what, const std::string& hint = {});
// A usage mistake: the reason and a pointer to the verb's help. Returns kExitUsage.
int UsageError(const std::string& verb, const std::string& reason);

// Creates the connection manager. The user's device paths (--device) are handed to the platform
// layer first, so discovery sees them; without discovery no printer is probed.
std::unique_ptr<CConnectionManager> StartModule(const std::vector<std::string>& devicePaths,
                                                bool discover);

// Releases every slot and waits, bounded, until the workers have ended.
void StopModule(CConnectionManager& manager);

// The exit code for a failed OpenConnection, from the module's text.
int OpenFailureExitCode(const std::string& text);

// Takes the WM_LINK_ERROR that a failed OpenConnection posted and returns its text.
std::string TakeOpenError();

// Checks that the file to send can be opened and read (a folder opens too, but cannot be read)
// and tells its size. On failure says so on stderr and returns kExitNotFound; else kExitOk.
int CheckSourceFile(const std::string& path, const std::string& what, std::int64_t* size);

// "1.5 MiB", "512 B": a byte count for people.
std::string HumanBytes(double bytes);
// "1:05" or "1:02:03".
std::string HumanDuration(double seconds);

}  // namespace cli
