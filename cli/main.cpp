// pellmar-cli: sends flash files to printers and talks to printer ports from a terminal or a
// script. The verbs live in one table; each one starts the connection module itself, after its
// options are parsed, so --help, --version and usage mistakes never touch any hardware.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/session.h"
#include "cli/verbs.h"
#include "platform/platform.h"

namespace {

void PrintGlobalHelp() {
    std::printf(
        "Usage: pellmar-cli [--help] [--version] COMMAND [OPTIONS]\n"
        "\n"
        "Sends printer flash files to printers and talks to printer ports.\n"
        "\n"
        "Commands:\n");
    for (const auto& verb : cli::Verbs()) std::printf("  %-10s %s\n", verb.name, verb.summary);
    std::printf(
        "\n"
        "Run 'pellmar-cli COMMAND --help' for the options of a command.\n"
        "Exit status: 0 success, 1 the operation failed, 2 bad usage,\n"
        "3 the printer, port or file could not be found or opened.\n"
        "Environment: PELLMAR_DEVICES (more printer device paths, '%c'-separated),\n"
        "PELLMAR_COM1, PELLMAR_COM2, PELLMAR_LPT1, PELLMAR_LPT2 (the device of each port).\n",
        platform::PathListSeparator());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return cli::UsageError("", "no command given");
    const std::string& first = args.front();
    if (first == "--help" || first == "-h" || first == "help") {
        if (first == "help" && args.size() > 1)
            return cli::FindVerb(args[1])
                       ? cli::PrintVerbHelp(args[1])
                       : cli::UsageError("", "unknown command '" + args[1] + "'");
        PrintGlobalHelp();
        return cli::kExitOk;
    }
    if (first == "--version" || first == "-V") {
        std::printf("Pellmar 2.0\n");
        return cli::kExitOk;
    }
    const cli::Verb* verb = cli::FindVerb(first);
    if (!verb) {
        if (!first.empty() && first[0] == '-')
            return cli::UsageError("", "unknown option '" + first + "'");
        return cli::UsageError("", "unknown command '" + first + "'");
    }
    return verb->run(cli::Args(args.begin() + 1, args.end()));
}
