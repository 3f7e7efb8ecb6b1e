// Parses the emulator program's options.
#include "emu_options.h"

#include <cerrno>
#include <cstdlib>

namespace emu {
namespace {

bool ParseInt(const char* text, long long min, long long* out) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno || !end || *end || end == text || v < min)
        return false;
    *out = v;
    return true;
}

// Applies one option that takes a value; returns a problem text or "".
std::string ApplyValue(const std::string& arg, const char* value, bool allowLink, CommandLine* cl) {
    EmulatorOptions& o = cl->options;
    long long n = 0;
    if (arg == "--link" && allowLink)
        cl->link = value;
    else if (arg == "--text1")
        o.protocol.text1 = value;
    else if (arg == "--text3")
        o.protocol.text3 = value;
    else if (arg == "--record")
        o.recordPath = value;
    else if (arg == "--channels") {
        if (!ParseChannels(value, &o.protocol.channels))
            return std::string("bad channel list \"") + value + "\"";
    } else if (!ParseInt(value, 0, &n))
        return arg + " wants a number of 0 or more, not \"" + value + "\"";
    else if (arg == "--silent-queries")
        o.protocol.silentQueries = static_cast<int>(n);
    else if (arg == "--reply-delay-ms")
        o.protocol.replyDelayMs = static_cast<int>(n);
    else if (arg == "--accept-delay-ms")
        o.acceptDelayMs = static_cast<int>(n);
    else if (arg == "--hang-up-after")
        o.hangUpAfter = n;
    else if (arg == "--tcp" && n <= 65535)
        o.tcpPort = static_cast<int>(n);
    else
        return "unknown option " + arg;
    return "";
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv, bool allowLink) {
    CommandLine cl;
    for (int i = 1; i < argc && cl.problem.empty(); ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            cl.help = true;
            return cl;
        }
        if (arg == "--garbage")
            cl.options.protocol.garbage = true;
        else if (arg == "--record-all")
            cl.options.protocol.recordAll = true;
        else if (i + 1 >= argc)
            cl.problem = arg + " needs a value (or is unknown)";
        else
            cl.problem = ApplyValue(arg, argv[++i], allowLink, &cl);
    }
    return cl;
}

}  // namespace emu
