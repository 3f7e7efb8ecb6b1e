// The table of verbs and their help texts.
#include <cstdio>

#include "cli/session.h"
#include "cli/verbs.h"

namespace cli {

const std::vector<Verb>& Verbs() {
    static const std::vector<Verb> verbs = {
        {"list", "list the printers found",
         "Usage: pellmar-cli list [--device PATH]... [--json]\n"
         "\n"
         "Finds the attached printers and prints one line per printer, in table order:\n"
         "  <row>\\t<display name>\\t<device path>\n"
         "Finding none is not an error (exit 0, a note on standard error).\n"
         "\n"
         "  --device PATH  also ask the device at PATH (repeatable; PELLMAR_DEVICES adds more)\n"
         "  --json         print a JSON array of {\"row\", \"name\", \"path\"} objects\n",
         RunList},
        {"flash", "send a flash file to a printer (or to all of them)",
         "Usage: pellmar-cli flash FILE [--printer NAME | --all] [--device PATH]... [--pace-ms N]\n"
         "\n"
         "Sends FILE, unchanged, to a printer found by discovery. Without --printer the only\n"
         "printer found is used. Progress goes to standard error; at the end standard output\n"
         "says 'Sent N bytes to NAME in S s'. Ctrl+C stops the transfer cleanly (exit 1).\n"
         "\n"
         "  --printer NAME  the printer's display name, exactly as 'pellmar-cli list' shows it\n"
         "  --all           send to every printer found at once (at most ten) and print a\n"
         "                  summary; exit 0 only if every printer received the whole file\n"
         "  --device PATH   also ask the device at PATH (repeatable)\n"
         "  --pace-ms N     pause after each 4096-byte chunk, in ms (default 12; 0 for printers\n"
         "                  that need no pause)\n",
         RunFlash},
        {"send", "send a print job to a network printer (TCP)",
         "Usage: pellmar-cli send HOST FILE [--port N] [--idle-timeout S]\n"
         "\n"
         "Sends FILE as one print job over TCP to HOST (a name or a dotted IPv4 address) and\n"
         "writes whatever the printer sends back to standard output. The job ends once the file\n"
         "is sent and the connection has been idle for longer than the idle limit.\n"
         "\n"
         "  --port N          TCP port (default 9100)\n"
         "  --idle-timeout S  seconds without traffic after which the job's connection closes\n"
         "                    (default 20; 0 ends it at the next tick of the clock's second,\n"
         "                    which can split a slow job over two connections)\n",
         RunSend},
        {"port", "a terminal on a serial or parallel port",
         "Usage: pellmar-cli port NAME [--baud B] [--parity none|even|odd] [--data 7|8]\n"
         "                          [--stop 1|2]\n"
         "\n"
         "Connects standard input and output to the port NAME (\"COM1:\", \"COM2:\", \"LPT1:\" or\n"
         "\"LPT2:\") until the end of standard input or Ctrl+C. Line settings apply to COM ports;\n"
         "when none is given the port keeps its present settings (otherwise 9600 8N1 is the "
         "base).\n"
         "The device behind a name can be set with PELLMAR_COM1 and its siblings.\n",
         RunPort},
        {"handshake", "find a parallel printer's channel",
         "Usage: pellmar-cli handshake LPT1:|LPT2:\n"
         "\n"
         "Opens the parallel port with the channel handshake and prints the channel found\n"
         "(0 when the printer offers no matching channel).\n",
         RunHandshake},
    };
    return verbs;
}

const Verb* FindVerb(const std::string& name) {
    for (const auto& verb : Verbs())
        if (name == verb.name)
            return &verb;
    return nullptr;
}

int PrintVerbHelp(const std::string& name) {
    const Verb* verb = FindVerb(name);
    if (verb)
        std::fputs(verb->usage, stdout);
    return kExitOk;
}

}  // namespace cli
