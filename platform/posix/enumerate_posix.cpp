// Interface enumeration on Linux (only the user's device paths so far).
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "platform/enumerate.h"

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
        while (std::getline(ss, item, ':'))
            if (!item.empty())
                paths.push_back(item);
    }
    return paths;
}

bool GetDeviceInterfacePath(int classIndex, std::uint32_t memberIndex, std::string* path) {
    if (classIndex != 2)
        return false;
    auto paths = UserDevicePaths();
    if (memberIndex >= paths.size())
        return false;
    *path = paths[memberIndex];
    return true;
}

}  // namespace platform
