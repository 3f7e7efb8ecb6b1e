// The verbs of pellmar-cli: one function each, run with the arguments that follow the verb's name.
// Each returns the process's exit code.
#pragma once

#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

struct Verb {
    const char* name;
    const char* summary;  // one line for the global help
    const char* usage;    // the verb's own --help text
    int (*run)(const Args& args);
};

int RunList(const Args& args);
int RunFlash(const Args& args);
int RunSend(const Args& args);
int RunPort(const Args& args);
int RunHandshake(const Args& args);

// The dispatch table, in the order of the global help.
const std::vector<Verb>& Verbs();
const Verb* FindVerb(const std::string& name);

// Prints the verb's usage on stdout; returns kExitOk.
int PrintVerbHelp(const std::string& name);

}  // namespace cli
