// pellmar-printer-emu: an emulated printer for tests, demos and training. Prints its device path,
// answers the identification exchange and records the print data, until SIGINT or SIGTERM.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "emu_options.h"
#include "printer_emulator.h"

namespace {

const char kUsage[] =
    "Usage: pellmar-printer-emu [options]\n"
    "An EMULATED printer on a pseudo-terminal, for tests, demos and training.\n"
    "Prints its device path on the first line of stdout; attach it to Pellmar with\n"
    "--device PATH or PELLMAR_DEVICES=PATH. Runs until SIGINT or SIGTERM.\n"
    "\n"
    "  --link PATH            also make a symbolic link PATH to the device\n"
    "  --text1 T              text 1 of the identification answer (default \"Emulated\")\n"
    "  --text3 T              text 3 of the identification answer (default \"Printer\")\n"
    "  --record FILE          write every data byte received after an identification to FILE\n"
    "  --record-all           record data even when no identification came first\n"
    "  --silent-queries N     give no answer to the first N identification queries\n"
    "  --garbage              answer with bytes that hold no frame\n"
    "  --reply-delay-ms N     answer N ms late\n"
    "  --accept-delay-ms N    pause N ms after every block of data read (a slow printer)\n"
    "  --hang-up-after N      close the device after N data bytes (the writer gets EIO)\n"
    "  --channels LIST        answer a channel query with LIST, e.g. \"1:IPDS,2:PCL\"\n"
    "                         (default: an empty list)\n"
    "  --tcp PORT             also serve 127.0.0.1:PORT (0: any free port); prints\n"
    "                         \"tcp 127.0.0.1:PORT\" on stdout\n"
    "  --help                 show this text\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "pellmar-printer-emu: %s\n\n%s", problem.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    emu::CommandLine cl = emu::ParseCommandLine(argc, argv, true);
    if (cl.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!cl.problem.empty())
        return Usage(cl.problem);
    emu::EmulatorOptions& options = cl.options;
    const std::string& link = cl.link;

    // SIGINT and SIGTERM are taken by sigwait below; every thread inherits the blocked mask. A
    // shell starts background jobs with SIGINT ignored, and an ignored signal never reaches
    // sigwait, so both get a handler first.
    struct sigaction sa {};
    sa.sa_handler = [](int) {};
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    emu::PrinterEmulator emulator(options);
    if (!emulator.Start()) {
        std::fprintf(stderr, "pellmar-printer-emu: %s\n", emulator.Error().c_str());
        return 1;
    }
    if (!link.empty()) {
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "pellmar-printer-emu: %s exists and is not a link\n",
                         link.c_str());
            return 1;
        }
        ::unlink(link.c_str());
        if (::symlink(emulator.DevicePath().c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "pellmar-printer-emu: cannot link %s: %s\n", link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::fprintf(stderr, "*** EMULATED PRINTER (not a real device) \"%s %s\" on %s%s%s ***\n",
                 options.protocol.text1.c_str(), options.protocol.text3.c_str(),
                 emulator.DevicePath().c_str(), link.empty() ? "" : " -> ", link.c_str());
    std::printf("%s\n", emulator.DevicePath().c_str());
    if (emulator.TcpPort() >= 0)
        std::printf("tcp 127.0.0.1:%d\n", emulator.TcpPort());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stopSignals, &sig);
    emulator.Stop();
    if (!link.empty())
        ::unlink(link.c_str());
    std::fprintf(stderr, "pellmar-printer-emu: stopped; %zu data bytes received, %d queries\n",
                 emulator.RecordedSize(), emulator.IdentifyQueries());
    return 0;
}
