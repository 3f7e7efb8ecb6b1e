// The device paths the user names: --device options, then the PELLMAR_DEVICES list. The same on
// every OS but for the list separator.
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "platform/enumerate.h"
#include "platform/platform.h"

namespace platform {
namespace {
std::mutex g_mutex;
std::vector<std::string> g_userPaths;
}  // namespace

void SetUserDevicePaths(std::vector<std::string> paths) {
    std::lock_guard lock(g_mutex);
    g_userPaths = std::move(paths);
}

std::vector<std::string> UserDevicePaths() {
    std::vector<std::string> paths;
    {
        std::lock_guard lock(g_mutex);
        paths = g_userPaths;
    }
    if (const char* env = std::getenv("PELLMAR_DEVICES")) {
        std::stringstream ss(env);
        std::string item;
        while (std::getline(ss, item, PathListSeparator()))
            if (!item.empty())
                paths.push_back(item);
    }
    return paths;
}

}  // namespace platform
