// pellmar-cli flash: sends a flash file to the one printer named (or found), or to all of them.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/session.h"
#include "cli/transfers.h"
#include "cli/verbs.h"
#include "connection/workers.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace cli {
namespace {

constexpr long long kMaxPaceMs = 10000;

std::string PrinterNames() {
    std::string names;
    for (int row = 0; row < g_nUsbPrinters; ++row)
        names += std::string("\n  ") + g_UsbPrinters[row].szName + "  (" +
                 g_UsbPrinters[row].szPath + ")";
    return names;
}

int NoPrinterFound() {
    PrintError("no printer found.",
               std::string("Check that the printer is switched on and connected and that you may "
                           "open its device (e.g. ") +
                   platform::PrinterAccessHint() + "), or name its device with --device PATH.");
    return kExitNotFound;
}

// Chooses the transfers: the named printer, the only one, or every one with --all.
int ChooseTargets(const ParsedArgs& args, std::int64_t size, std::vector<Transfer>* out) {
    auto add = [&](int row) {
        Transfer t;
        t.name = g_UsbPrinters[row].szName;
        t.path = g_UsbPrinters[row].szPath;
        t.size = size;
        out->push_back(std::move(t));
    };
    if (g_nUsbPrinters == 0)
        return NoPrinterFound();
    if (args.Has("all")) {
        if (g_nUsbPrinters > kSlotCount) {
            PrintError(std::to_string(g_nUsbPrinters) + " printers found, but at most " +
                           std::to_string(kSlotCount) + " can be flashed at once.",
                       "Disconnect some of them, or flash them one by one with --printer NAME.");
            return kExitFailed;
        }
        for (int row = 0; row < g_nUsbPrinters; ++row) add(row);
        return kExitOk;
    }
    if (!args.Has("printer")) {
        if (g_nUsbPrinters > 1)
            return UsageError("flash", std::to_string(g_nUsbPrinters) +
                                           " printers found; say which one with --printer NAME "
                                           "(or use --all):" +
                                           PrinterNames());
        add(0);
        return kExitOk;
    }
    const std::string name = args.Value("printer");
    int found = -1, sameName = 0;
    for (int row = 0; row < g_nUsbPrinters; ++row) {
        if (name == g_UsbPrinters[row].szName) {
            if (found < 0)
                found = row;
            ++sameName;
        }
    }
    if (found < 0) {
        PrintError("no printer named \"" + name + "\" was found.",
                   "Give the name exactly as 'pellmar-cli list' shows it. Printers found:" +
                       PrinterNames());
        return kExitNotFound;
    }
    if (sameName > 1)
        std::fprintf(stderr,
                     "%s: note: %d printers are named \"%s\"; the first one (%s) is used.\n",
                     kProgramName, sameName, name.c_str(), g_UsbPrinters[found].szPath);
    add(found);
    return kExitOk;
}

// Printers are opened by name: of several with one name only the first can be reached.
void RefuseSameNames(std::vector<Transfer>& transfers) {
    for (std::size_t i = 0; i < transfers.size(); ++i) {
        for (std::size_t k = 0; k < i; ++k) {
            if (transfers[i].name == transfers[k].name) {
                transfers[i].state = Transfer::State::Failed;
                transfers[i].exitCode = kExitFailed;
                transfers[i].error = "has the same name as " + transfers[k].path +
                                     ", which is the one opened by that name; flash it on its own";
                break;
            }
        }
    }
}

const char* StateText(const Transfer& t) {
    switch (t.state) {
        case Transfer::State::Done:
            return "ok";
        case Transfer::State::Stopped:
            return "stopped";
        default:
            return "FAILED";
    }
}

void PrintSummary(const std::vector<Transfer>& transfers) {
    std::size_t nameWidth = 7, pathWidth = 6;
    for (const auto& t : transfers) {
        nameWidth = std::max(nameWidth, t.name.size());
        pathWidth = std::max(pathWidth, t.path.size());
    }
    int nw = static_cast<int>(nameWidth), pw = static_cast<int>(pathWidth);
    std::printf("%-*s  %-*s  %12s  %8s  %s\n", nw, "Printer", pw, "Device", "Bytes", "Seconds",
                "Result");
    for (const auto& t : transfers) {
        std::string result = StateText(t);
        if (!t.error.empty())
            result += ": " + t.error;
        std::replace(result.begin(), result.end(), '\n', ' ');  // one line per printer
        std::printf("%-*s  %-*s  %12lld  %8.1f  %s\n", nw, t.name.c_str(), pw, t.path.c_str(),
                    static_cast<long long>(t.bytes), t.seconds, result.c_str());
    }
}

// The end of a run to one printer: the result line, or what went wrong and what to do.
int ReportOne(const Transfer& t, bool completed) {
    if (t.state == Transfer::State::Done) {
        std::printf("Sent %lld bytes to %s in %.1f s\n", static_cast<long long>(t.bytes),
                    t.name.c_str(), t.seconds);
        return kExitOk;
    }
    std::string sent = "Sent " + std::to_string(t.bytes) + " of " + std::to_string(t.size) +
                       " bytes to " + t.name + ".";
    if (!completed || t.state == Transfer::State::Stopped) {
        PrintError("stopped by the user. " + sent,
                   "The printer holds an incomplete file: send the whole file again.");
        return kExitFailed;
    }
    if (t.exitCode == kExitNotFound && t.slot == nullptr && t.bytes == 0) {
        PrintError(t.error,
                   "Check that the printer is connected and not in use by another program, "
                   "then try again ('pellmar-cli list' shows the printers found).");
        return kExitNotFound;
    }
    PrintError(t.error, sent + " Check the printer's cable and power, then send the file again.");
    return kExitFailed;
}

}  // namespace

int RunFlash(const Args& args) {
    std::string error;
    auto parsed = ParseArgs(args,
                            {{"printer", true, false},
                             {"device", true, true},
                             {"pace-ms", true, false},
                             {"all", false, false}},
                            &error);
    if (!parsed)
        return UsageError("flash", error);
    if (parsed->help)
        return PrintVerbHelp("flash");
    if (parsed->positional.size() != 1)
        return UsageError("flash", parsed->positional.empty()
                                       ? "no flash file given"
                                       : "only one flash file can be sent at a time");
    if (parsed->Has("all") && parsed->Has("printer"))
        return UsageError("flash", "--all and --printer cannot be used together");
    long long pace = kUsbChunkPauseMs;
    if (parsed->Has("pace-ms") && !ParseNumber(parsed->Value("pace-ms"), 0, kMaxPaceMs, &pace))
        return UsageError("flash", "--pace-ms takes a number of milliseconds from 0 to " +
                                       std::to_string(kMaxPaceMs));

    // The file is checked before any printer is opened (discovery opens them too).
    const std::string file = parsed->positional.front();
    std::int64_t size = 0;
    if (int code = CheckSourceFile(file, "flash file", &size); code != kExitOk)
        return code;

    platform::CatchInterrupt();
    SetUsbChunkPauseMs(static_cast<unsigned>(pace));
    auto manager = StartModule(parsed->All("device"), true);
    if (platform::InterruptRequested()) {
        PrintError("stopped by the user before any byte was sent.");
        return kExitFailed;
    }
    std::vector<Transfer> transfers;
    if (int code = ChooseTargets(*parsed, size, &transfers); code != kExitOk)
        return code;
    RefuseSameNames(transfers);
    bool completed = RunTransfers(*manager, file, transfers);

    if (!parsed->Has("all"))
        return ReportOne(transfers.front(), completed);
    bool allDone = true;
    for (const auto& t : transfers) {
        if (t.state == Transfer::State::Done)
            std::printf("Sent %lld bytes to %s in %.1f s\n", static_cast<long long>(t.bytes),
                        t.name.c_str(), t.seconds);
        allDone = allDone && t.state == Transfer::State::Done;
    }
    PrintSummary(transfers);
    if (!completed)
        PrintError("stopped by the user.",
                   "The printers not marked ok hold an incomplete file: send it to them again.");
    else if (!allDone)
        PrintError("not every printer received the whole file.",
                   "Check the printers marked FAILED, then send the file to them again.");
    return allDone && completed ? kExitOk : kExitFailed;
}

}  // namespace cli
