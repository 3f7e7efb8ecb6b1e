// pellmar-printer-emu.exe: the emulated printer on Windows, on a named pipe that Pellmar opens like
// a printer device. Prints the pipe's path, answers the identification exchange and records the
// print data, until Ctrl+C (or the console closes).
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "emu_options.h"
#include "printer_emulator.h"

namespace {

const char kUsage[] =
    "Usage: pellmar-printer-emu [options]\n"
    "An EMULATED printer on a named pipe, for tests, demos and training.\n"
    "Prints its device path (\\\\.\\pipe\\pellmar-emu-...) on the first line of stdout; attach\n"
    "it to Pellmar with --device PATH or PELLMAR_DEVICES=PATH. Runs until Ctrl+C.\n"
    "\n"
    "  --text1 T              text 1 of the identification answer (default \"Emulated\")\n"
    "  --text3 T              text 3 of the identification answer (default \"Printer\")\n"
    "  --record FILE          write every data byte received after an identification to FILE\n"
    "  --record-all           record data even when no identification came first\n"
    "  --silent-queries N     give no answer to the first N identification queries\n"
    "  --garbage              answer with bytes that hold no frame\n"
    "  --reply-delay-ms N     answer N ms late\n"
    "  --accept-delay-ms N    pause N ms after every block of data read (a slow printer)\n"
    "  --hang-up-after N      unplug the device after N data bytes (the writer's next write\n"
    "                         fails)\n"
    "  --channels LIST        answer a channel query with LIST, e.g. \"1:IPDS,2:PCL\"\n"
    "  --tcp PORT             also serve 127.0.0.1:PORT (0: any free port); prints\n"
    "                         \"tcp 127.0.0.1:PORT\" on stdout\n"
    "  --help                 show this text\n";

HANDLE g_stopEvent = nullptr;

BOOL WINAPI OnControl(DWORD) {
    ::SetEvent(g_stopEvent);
    return TRUE;
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "pellmar-printer-emu: %s\n\n%s", problem.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    emu::CommandLine cl = emu::ParseCommandLine(argc, argv, false);
    if (cl.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!cl.problem.empty())
        return Usage(cl.problem);
    emu::EmulatorOptions& options = cl.options;

    g_stopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
    emu::PrinterEmulator emulator(options);
    if (!emulator.Start()) {
        std::fprintf(stderr, "pellmar-printer-emu: %s\n", emulator.Error().c_str());
        return 1;
    }
    std::fprintf(stderr, "*** EMULATED PRINTER (not a real device) \"%s %s\" on %s ***\n",
                 options.protocol.text1.c_str(), options.protocol.text3.c_str(),
                 emulator.DevicePath().c_str());
    std::printf("%s\n", emulator.DevicePath().c_str());
    if (emulator.TcpPort() >= 0)
        std::printf("tcp 127.0.0.1:%d\n", emulator.TcpPort());
    std::fflush(stdout);

    ::WaitForSingleObject(g_stopEvent, INFINITE);
    emulator.Stop();
    std::fprintf(stderr, "pellmar-printer-emu: stopped; %zu data bytes received, %d queries\n",
                 emulator.RecordedSize(), emulator.IdentifyQueries());
    return 0;
}
