// pellmar-cli send: a print job over TCP through a network job slot, fed 1024 bytes at a time;
// the printer's answer goes to standard output.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "cli/args.h"
#include "cli/cli_window.h"
#include "cli/progress.h"
#include "cli/session.h"
#include "cli/verbs.h"
#include "connection/workers.h"
#include "platform/console.h"

namespace cli {
namespace {

constexpr int kSliceMs = 20;
constexpr long long kDefaultJobPort = 9100;
constexpr long long kDefaultIdleTimeout = 20;
// The job's connection closes in the first pass with more than the idle limit counted in whole
// seconds since the last traffic: at most one second more, plus a pass.
constexpr double kCloseMargin = 1.25;

int SendFailed(const std::string& host, const std::string& text) {
    if (text == "Invalid host name or IP address!") {
        PrintError(host + ": " + text, "Check the printer's name or address.");
        return kExitNotFound;
    }
    PrintError("the print job to " + host + " failed: " + text,
               "Check that the printer is on the network and accepts jobs on that port.");
    return kExitFailed;
}

}  // namespace

int RunSend(const Args& args) {
    std::string error;
    auto parsed = ParseArgs(args, {{"port", true, false}, {"idle-timeout", true, false}}, &error);
    if (!parsed)
        return UsageError("send", error);
    if (parsed->help)
        return PrintVerbHelp("send");
    if (parsed->positional.size() != 2)
        return UsageError("send", "give the printer's host and the file to send");
    long long port = kDefaultJobPort, idle = kDefaultIdleTimeout;
    if (parsed->Has("port") && !ParseNumber(parsed->Value("port"), 1, 65535, &port))
        return UsageError("send", "--port takes a TCP port number from 1 to 65535");
    if (parsed->Has("idle-timeout") && !ParseNumber(parsed->Value("idle-timeout"), 0, 3600, &idle))
        return UsageError("send", "--idle-timeout takes a number of seconds from 0 to 3600");
    const std::string host = parsed->positional[0];
    const std::string file = parsed->positional[1];

    std::int64_t size = 0;
    if (int code = CheckSourceFile(file, "file", &size); code != kExitOk)
        return code;
    platform::Handle source = platform::OpenFileForReading(file);
    if (source == platform::kInvalidHandle) {
        PrintError(
            "cannot open the file \"" + file + "\": " + platform::ErrorText(platform::LastError()),
            "Check the file's name and path, and that you may read it.");
        return kExitNotFound;
    }

    platform::CatchInterrupt();
    platform::SetBinaryStandardStreams();
    auto manager = StartModule({}, false);
    SetNetworkPorts(NetSessionPort(), static_cast<std::uint16_t>(port));
    CONNECTION_REQUEST request;
    request.nType = CONN_NETWORK;
    request.strPort = host;
    request.nMode = 2;  // one connection per burst of bytes
    request.nIdleTimeout = static_cast<std::uint32_t>(idle);
    request.hWndNotify = &Window();
    CONNECTION_SLOT* slot = manager->OpenConnection(request);
    if (!slot) {
        platform::Close(source);
        return SendFailed(host, TakeOpenError());
    }

    ProgressView view(platform::IsTerminal(platform::StdStream::Error), stderr);
    const int row = view.Add(host, size);
    const double start = SteadySeconds();
    double lastActivity = start;
    std::int64_t queued = 0, sent = 0, received = 0;
    bool fileEnded = false, interrupted = false;
    int result = kExitOk;
    std::string failure;
    for (;;) {
        if (platform::InterruptRequested()) {
            interrupted = true;
            break;
        }
        while (auto event = Window().Next(std::chrono::milliseconds(0))) {
            if (event->message == WM_LINK_DATA) {
                std::fwrite(event->data.data(), 1, event->data.size(), stdout);
                std::fflush(stdout);
                received += static_cast<std::int64_t>(event->data.size());
                lastActivity = SteadySeconds();
            } else if (event->message == WM_LINK_ERROR) {
                failure = event->error;
            }
        }
        if (!failure.empty())
            break;
        const bool blockWaiting = slot->nTxLen.load() != 0;
        if (!blockWaiting && sent != queued) {
            sent = queued;  // the worker has sent the last block
            lastActivity = SteadySeconds();
            view.Update(row, sent);
        }
        if (!blockWaiting && !fileEnded) {
            std::uint32_t got = 0;
            if (!platform::Read(source, slot->TxBuf, kLinkBufferSize, &got) || got == 0) {
                fileEnded = true;
                view.Finish(row, "sent; waiting for the printer until the connection closes");
            } else {
                queued += got;
                slot->nTxLen = got;  // after TxBuf: this hands the block over
                continue;
            }
        }
        if (fileEnded && !blockWaiting &&
            SteadySeconds() - lastActivity > static_cast<double>(idle) + kCloseMargin)
            break;  // the job's connection has closed by now
        view.Tick();
        g_slotSignal.WaitFor(std::chrono::milliseconds(kSliceMs),
                             [&] { return slot->nTxLen.load() == 0 && !fileEnded; });
    }
    const double seconds = SteadySeconds() - start;
    StopModule(*manager);
    platform::Close(source);
    while (auto event = Window().Next(std::chrono::milliseconds(0))) {
        if (event->message == WM_LINK_DATA) {
            std::fwrite(event->data.data(), 1, event->data.size(), stdout);
            received += static_cast<std::int64_t>(event->data.size());
        }
    }
    std::fflush(stdout);
    view.Finish(row, interrupted ? "stopped" : failure.empty() ? "done" : "failed");
    view.Close();
    if (!failure.empty())
        result = SendFailed(host, failure);
    else if (interrupted) {
        PrintError("stopped by the user after " + std::to_string(sent) + " of " +
                       std::to_string(size) + " bytes.",
                   "The printer received an incomplete job.");
        result = kExitFailed;
    }
    if (result == kExitOk)
        std::fprintf(stderr, "Sent %lld bytes to %s in %.1f s; received %lld bytes\n",
                     static_cast<long long>(sent), host.c_str(), seconds,
                     static_cast<long long>(received));
    return result;
}

}  // namespace cli
