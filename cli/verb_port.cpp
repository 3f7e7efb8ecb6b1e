// pellmar-cli port: a terminal on a serial or parallel port: standard input to the port, the
// port's bytes to standard output, until the end of standard input or Ctrl+C.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "cli/args.h"
#include "cli/cli_window.h"
#include "cli/progress.h"
#include "cli/session.h"
#include "cli/verbs.h"
#include "platform/console.h"
#include "platform/serial.h"

namespace cli {
namespace {

constexpr int kInputSliceMs = 20;
// After the end of input the port's answer is still shown until it has been quiet this long.
constexpr double kQuietAfterEnd = 1.0;
constexpr double kMaxLingerAfterEnd = 10.0;
constexpr std::uint32_t kSerialWriteLimitS = 20;

bool IsParallelName(const std::string& name) {
    std::string head = name.substr(0, 3);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return head == "LPT";
}

// Reads the line settings the user gave; false (with *error) on a bad value.
bool LineSettings(const ParsedArgs& args, platform::SerialSettings* s, std::string* error) {
    long long n = 0;
    if (args.Has("baud")) {
        if (!ParseNumber(args.Value("baud"), 50, 4000000, &n)) {
            *error = "--baud takes a speed in bits per second, e.g. 9600 or 115200";
            return false;
        }
        s->baudRate = static_cast<std::uint32_t>(n);
    }
    if (args.Has("data")) {
        if (!ParseNumber(args.Value("data"), 7, 8, &n)) {
            *error = "--data takes 7 or 8";
            return false;
        }
        s->dataBits = static_cast<std::uint8_t>(n);
    }
    if (args.Has("stop")) {
        if (!ParseNumber(args.Value("stop"), 1, 2, &n)) {
            *error = "--stop takes 1 or 2";
            return false;
        }
        s->stopBits = n == 2 ? platform::StopBits::Two : platform::StopBits::One;
    }
    if (args.Has("parity")) {
        std::string p = args.Value("parity");
        if (p == "none")
            s->parity = platform::Parity::None;
        else if (p == "even")
            s->parity = platform::Parity::Even;
        else if (p == "odd")
            s->parity = platform::Parity::Odd;
        else {
            *error = "--parity takes none, even or odd";
            return false;
        }
    }
    return true;
}

void WriteOut(const std::vector<std::uint8_t>& data) {
    std::fwrite(data.data(), 1, data.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

int RunPort(const Args& args) {
    std::string error;
    auto parsed = ParseArgs(args,
                            {{"baud", true, false},
                             {"parity", true, false},
                             {"data", true, false},
                             {"stop", true, false}},
                            &error);
    if (!parsed)
        return UsageError("port", error);
    if (parsed->help)
        return PrintVerbHelp("port");
    if (parsed->positional.size() != 1)
        return UsageError("port", "give one port: COM1:, COM2:, LPT1: or LPT2:");
    const std::string name = parsed->positional.front();
    const bool parallel = IsParallelName(name);
    const bool anySetting =
        parsed->Has("baud") || parsed->Has("parity") || parsed->Has("data") || parsed->Has("stop");
    if (parallel && anySetting)
        return UsageError("port", "line settings apply to COM ports only");
    platform::SerialSettings settings;
    if (!LineSettings(*parsed, &settings, &error))
        return UsageError("port", error);

    platform::CatchInterrupt();
    platform::SetBinaryStandardStreams();
    auto manager = StartModule({}, false);
    CONNECTION_REQUEST request;
    request.nType = parallel ? CONN_PARALLEL : CONN_SERIAL;
    request.strPort = name;
    request.pDcb = anySetting ? &settings : nullptr;
    request.nMode = 0;  // no channel handshake on a parallel port
    request.nIdleTimeout = kSerialWriteLimitS;
    request.hWndNotify = &Window();
    CONNECTION_SLOT* slot = manager->OpenConnection(request);
    if (!slot) {
        std::string text = TakeOpenError();
        int code = OpenFailureExitCode(text);
        PrintError(name + ": " + text,
                   code == kExitUsage
                       ? "The ports are named COM1:, COM2:, LPT1: and LPT2:, exactly so. Run "
                         "'pellmar-cli port --help' for the usage."
                       : "Check that the port exists (PELLMAR_COM1 and its siblings name its "
                         "device), that no other program uses it and that you may open it.");
        return code;
    }

    int result = kExitOk;
    bool inputEnded = false;
    double endedAt = 0, lastData = 0;
    std::uint8_t block[kLinkBufferSize];
    for (;;) {
        if (platform::InterruptRequested())
            break;
        while (auto event = Window().Next(std::chrono::milliseconds(0))) {
            if (event->message == WM_LINK_DATA) {
                WriteOut(event->data);
                lastData = SteadySeconds();
            } else if (event->message == WM_LINK_ERROR) {
                PrintError(name + ": " + event->error,
                           "Check the cable and the line settings, then try again.");
                result = kExitFailed;
            }
        }
        if (result != kExitOk)
            break;
        if (inputEnded) {
            double now = SteadySeconds();
            if (slot->nTxLen.load() == 0 && (now - std::max(endedAt, lastData) >= kQuietAfterEnd ||
                                             now - endedAt >= kMaxLingerAfterEnd))
                break;
            platform::SleepMs(kInputSliceMs);
            continue;
        }
        if (!parallel && slot->nTxLen.load() != 0) {
            // The writer still has the last block; it takes it within one of its passes.
            g_slotSignal.WaitFor(std::chrono::milliseconds(kInputSliceMs),
                                 [&] { return slot->nTxLen.load() == 0; });
            continue;
        }
        std::uint32_t got = 0;
        auto status = platform::ReadStandardInput(block, sizeof block, &got, kInputSliceMs);
        if (status == platform::InputStatus::End || status == platform::InputStatus::Error) {
            inputEnded = true;
            endedAt = SteadySeconds();
        } else if (status == platform::InputStatus::Data && parallel) {
            // A parallel slot has no writer of its own: its user writes to the port directly.
            std::uint32_t written = 0;
            if (!platform::WriteAll(slot->hDevice.load(), block, got, &written, 100,
                                    [] { return !platform::InterruptRequested(); })) {
                PrintError(name + ": write failed: " + platform::ErrorText(platform::LastError()),
                           "Check that the printer is switched on and online.");
                result = kExitFailed;
                break;
            }
        } else if (status == platform::InputStatus::Data) {
            std::memcpy(slot->TxBuf, block, got);
            slot->nTxLen = got;
        }
    }
    StopModule(*manager);
    while (auto event = Window().Next(std::chrono::milliseconds(0)))
        if (event->message == WM_LINK_DATA)
            WriteOut(event->data);
    return result;
}

}  // namespace cli
