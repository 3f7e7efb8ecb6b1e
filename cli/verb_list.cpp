// pellmar-cli list: the printer table, as tab-separated lines or as JSON.
#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/json.h"
#include "cli/session.h"
#include "cli/verbs.h"
#include "platform/platform.h"

namespace cli {

int RunList(const Args& args) {
    std::string error;
    auto parsed = ParseArgs(args, {{"device", true, true}, {"json", false, false}}, &error);
    if (!parsed)
        return UsageError("list", error);
    if (parsed->help)
        return PrintVerbHelp("list");
    if (!parsed->positional.empty())
        return UsageError("list", "unexpected argument '" + parsed->positional.front() + "'");

    auto manager = StartModule(parsed->All("device"), true);
    if (parsed->Has("json")) {
        std::string out = "[";
        for (int row = 0; row < g_nUsbPrinters; ++row) {
            out += row ? ",\n " : "\n ";
            out += "{\"row\": " + std::to_string(row) +
                   ", \"name\": " + JsonString(g_UsbPrinters[row].szName) +
                   ", \"path\": " + JsonString(g_UsbPrinters[row].szPath) + "}";
        }
        out += g_nUsbPrinters ? "\n]\n" : "]\n";
        std::fputs(out.c_str(), stdout);
    } else {
        for (int row = 0; row < g_nUsbPrinters; ++row)
            std::printf("%d\t%s\t%s\n", row, g_UsbPrinters[row].szName, g_UsbPrinters[row].szPath);
    }
    if (g_nUsbPrinters == 0)
        std::fprintf(stderr,
                     "%s: no printer found. Check that the printer is switched on and connected, "
                     "that you may open its device (e.g. %s), or name its device with --device "
                     "PATH.\n",
                     kProgramName, platform::PrinterAccessHint());
    return kExitOk;
}

}  // namespace cli
