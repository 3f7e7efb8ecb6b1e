// The emulator program's command line, the same on every OS (--link exists on POSIX only).
#pragma once

#include <string>

#include "printer_emulator.h"

namespace emu {

struct CommandLine {
    EmulatorOptions options;
    std::string link;     // --link PATH
    bool help = false;    // --help was given
    std::string problem;  // non-empty: a usage error to report
};

CommandLine ParseCommandLine(int argc, char** argv, bool allowLink);

}  // namespace emu
