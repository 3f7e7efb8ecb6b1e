// Parsing the application's options, before Qt starts (so --help works without a display).
#include "app/command_line.h"
#include "platform/platform.h"

#include <cstring>

namespace {

// Options that take a value, and where it goes.
struct ValueOption {
    const char* name;
    std::string CommandLine::*single;
};
constexpr ValueOption kValueOptions[] = {
    {"--auto-flash", &CommandLine::autoFlash},
    {"--screenshot", &CommandLine::screenshot},
};

// Qt's own options that take a value (-platform offscreen, -style fusion, ...).
bool IsQtOptionWithValue(const std::string& arg) {
    for (const char* o : {"-platform", "-style", "-stylesheet", "-display", "-qwindowgeometry",
                          "-qwindowtitle", "-qwindowicon", "-geometry", "-title"})
        if (arg == o)
            return true;
    return false;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                cl.error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            cl.help = true;
        } else if (arg == "--version") {
            cl.version = true;
        } else if (arg == "--device") {
            if (const char* v = value("--device"))
                cl.devices.emplace_back(v);
        } else if (arg.rfind("--device=", 0) == 0) {
            cl.devices.push_back(arg.substr(std::strlen("--device=")));
        } else if (IsQtOptionWithValue(arg)) {
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            bool known = false;
            for (const ValueOption& o : kValueOptions) {
                if (arg == o.name) {
                    known = true;
                    if (const char* v = value(o.name))
                        cl.*o.single = v;
                }
            }
            if (!known && arg.rfind("--", 0) == 0)
                cl.error = "unknown option " + arg;
        } else if (cl.document.empty()) {
            cl.document = arg;
        } else {
            cl.error = "more than one document file given";
        }
        if (!cl.error.empty())
            break;
    }
    return cl;
}

std::string UsageText() {
    return "Usage: pellmar [--device PATH]... [DOCUMENT]\n"
           "Sends a printer code (flash) file to a USB printer.\n"
           "\n"
           "  --device PATH   also ask the device at PATH whether it is a printer (repeatable);\n"
           "                  PELLMAR_DEVICES may list more paths, separated by '" +
           std::string(1, platform::PathListSeparator()) +
           "'\n"
           "  --help          show this text\n"
           "  --version       show the version\n";
}
