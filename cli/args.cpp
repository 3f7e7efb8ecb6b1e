// The option parser of the command-line verbs.
#include "cli/args.h"

#include <charconv>

namespace cli {

std::string ParsedArgs::Value(const std::string& name, const std::string& fallback) const {
    auto it = values.find(name);
    return it == values.end() || it->second.empty() ? fallback : it->second.back();
}

std::vector<std::string> ParsedArgs::All(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? std::vector<std::string>{} : it->second;
}

std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& specs, std::string* error) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            continue;
        }
        std::string name = arg.rfind("--", 0) == 0 ? arg.substr(2) : arg;
        std::optional<std::string> inlineValue;
        if (auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const OptionSpec* spec = nullptr;
        for (const auto& s : specs)
            if (arg.rfind("--", 0) == 0 && name == s.name)
                spec = &s;
        if (!spec) {
            *error = "unknown option '" + arg + "'";
            return std::nullopt;
        }
        if (!spec->repeatable && parsed.Has(name)) {
            *error = "option '--" + name + "' is given more than once";
            return std::nullopt;
        }
        std::string value;
        if (spec->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                *error = "option '--" + name + "' needs a value";
                return std::nullopt;
            }
        } else if (inlineValue) {
            *error = "option '--" + name + "' takes no value";
            return std::nullopt;
        }
        parsed.values[name].push_back(value);
    }
    return parsed;
}

bool ParseNumber(const std::string& text, long long min, long long max, long long* value) {
    long long v = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end || v < min || v > max)
        return false;
    *value = v;
    return true;
}

}  // namespace cli
