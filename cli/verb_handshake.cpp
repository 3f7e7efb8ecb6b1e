// pellmar-cli handshake: opens a parallel port with the channel handshake and prints the channel.
#include <cstdio>

#include "cli/args.h"
#include "cli/cli_window.h"
#include "cli/session.h"
#include "cli/verbs.h"

namespace cli {

int RunHandshake(const Args& args) {
    std::string error;
    auto parsed = ParseArgs(args, {}, &error);
    if (!parsed)
        return UsageError("handshake", error);
    if (parsed->help)
        return PrintVerbHelp("handshake");
    if (parsed->positional.size() != 1)
        return UsageError("handshake", "give one parallel port: LPT1: or LPT2:");

    auto manager = StartModule({}, false);
    CONNECTION_REQUEST request;
    request.nType = CONN_PARALLEL;
    request.strPort = parsed->positional.front();
    request.nMode = 1;  // with the channel handshake
    request.hWndNotify = &Window();
    CONNECTION_SLOT* slot = manager->OpenConnection(request);
    if (!slot) {
        std::string text = TakeOpenError();
        int code = OpenFailureExitCode(text);
        PrintError(request.strPort + ": " + text,
                   code == kExitUsage ? "The parallel ports are named LPT1: and LPT2:. Run "
                                        "'pellmar-cli handshake --help' for the usage."
                                      : "Check that the port exists (PELLMAR_LPT1/PELLMAR_LPT2 "
                                        "name its device) and that you may open it.");
        return code;
    }
    const int channel = slot->nChannel.load();
    StopModule(*manager);
    std::printf("Channel %d\n", channel);
    if (channel == 0)
        std::fprintf(stderr,
                     "%s: note: the printer on %s offered no matching channel (or did not answer "
                     "in time); check that it is switched on and supports the handshake.\n",
                     kProgramName, request.strPort.c_str());
    return kExitOk;
}

}  // namespace cli
