// Command-line options of one verb: a small table-driven parser for "--name value", "--name=value"
// and flags, with positional arguments kept in order.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli {

struct OptionSpec {
    const char* name;  // without the leading "--"
    bool takesValue;   // false: a flag
    bool repeatable;   // may be given more than once (values kept in order)
};

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> values;  // flags hold one empty value
    bool help = false;

    bool Has(const std::string& name) const { return values.count(name) != 0; }
    std::string Value(const std::string& name, const std::string& fallback = {}) const;
    std::vector<std::string> All(const std::string& name) const;
};

// Parses `args` against the specs. On a mistake returns nothing and puts the reason in *error.
// "--help" and "-h" are always accepted; "--" ends the options.
std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& specs, std::string* error);

// Parses a whole decimal number within [min, max]; false when the text is not one.
bool ParseNumber(const std::string& text, long long min, long long max, long long* value);

}  // namespace cli
