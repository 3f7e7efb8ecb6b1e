// Running USB transfers and following their link messages.
#include "cli/transfers.h"

#include <chrono>

#include "cli/cli_window.h"
#include "cli/progress.h"
#include "cli/session.h"
#include "platform/console.h"

namespace cli {
namespace {

// How often the main loop looks at Ctrl+C and redraws the progress when no message comes.
constexpr auto kPollSlice = std::chrono::milliseconds(50);

using State = Transfer::State;

bool IsOver(const Transfer& t) {
    return t.state == State::Done || t.state == State::Failed || t.state == State::Stopped;
}

Transfer* BySlot(std::vector<Transfer>& transfers, CONNECTION_SLOT* slot) {
    for (auto& t : transfers)
        if (t.slot == slot && t.slot != nullptr)
            return &t;
    return nullptr;
}

void Open(CConnectionManager& manager, const std::string& filePath, Transfer& t) {
    t.file = platform::OpenFileForReading(filePath);
    if (t.file == platform::kInvalidHandle) {
        t.state = State::Failed;
        t.exitCode = kExitNotFound;
        t.error = "cannot open " + filePath + ": " + platform::ErrorText(platform::LastError());
        return;
    }
    CONNECTION_REQUEST request;
    request.nType = CONN_USB;
    request.strPort = t.name;
    request.nMode = 2;
    request.nIdleTimeout = 20;
    request.hWndNotify = &Window();
    t.slot = manager.OpenConnection(request);
    if (!t.slot) {
        t.state = State::Failed;
        t.error = TakeOpenError();
        t.exitCode = OpenFailureExitCode(t.error);
        return;
    }
    t.claim = t.slot->nClaim.load();
}

// Applies one message to the transfer it belongs to.
void Apply(std::vector<Transfer>& transfers, ProgressView& view, const LinkEvent& event) {
    if (event.message == WM_LINK_ERROR) {
        // The message does not say which slot failed: a failed write frees its own slot.
        for (auto& t : transfers) {
            if (t.state == State::Running && !t.slot->IsActiveFor(t.claim)) {
                t.state = State::Failed;
                t.exitCode = kExitFailed;
                t.error = event.error;
                t.seconds = SteadySeconds() - t.start;
                view.Finish(t.progressRow, "failed");
            }
        }
        return;
    }
    Transfer* t = BySlot(transfers, event.slot);
    if (!t || IsOver(*t))
        return;
    if (event.message == WM_LINK_PROGRESS) {
        t->bytes = event.bytesSent;
        view.Update(t->progressRow, t->bytes);
    } else if (event.message == WM_LINK_DONE) {
        t->seconds = SteadySeconds() - t->start;
        if (t->bytes == t->size || t->size < 0) {
            t->state = State::Done;
            view.Finish(t->progressRow, "done");
        } else {
            // The file ended early (it shrank, or could not be read to its end).
            t->state = State::Failed;
            t->exitCode = kExitFailed;
            t->error = "the file could not be read to its end (" + std::to_string(t->bytes) +
                       " of " + std::to_string(t->size) + " bytes were sent)";
            view.Finish(t->progressRow, "failed");
        }
    }
}

}  // namespace

bool RunTransfers(CConnectionManager& manager, const std::string& filePath,
                  std::vector<Transfer>& transfers) {
    ProgressView view(platform::IsTerminal(platform::StdStream::Error), stderr);
    for (auto& t : transfers)
        if (t.state == State::Waiting)
            Open(manager, filePath, t);
    // Every printer is open before any starts, so they all run side by side.
    for (auto& t : transfers) {
        if (t.state != State::Waiting)
            continue;
        t.progressRow = view.Add(t.name, t.size);
        t.state = State::Running;
        t.start = SteadySeconds();
        t.slot->hSourceFile.store(t.file, std::memory_order_release);
        t.slot->bSending = 1;
    }

    bool interrupted = false;
    auto running = [&] {
        for (const auto& t : transfers)
            if (t.state == State::Running)
                return true;
        return false;
    };
    while (running()) {
        if (platform::InterruptRequested()) {
            interrupted = true;
            break;
        }
        if (auto event = Window().Next(kPollSlice))
            Apply(transfers, view, *event);
        view.Tick();
    }

    StopModule(manager);
    // A pass that was under way when the slots were released may still have reported a chunk.
    // (An error at this point belongs to a transfer that the user has stopped anyway.)
    while (auto event = Window().Next(std::chrono::milliseconds(0)))
        if (event->message != WM_LINK_ERROR)
            Apply(transfers, view, *event);
    for (auto& t : transfers) {
        if (t.state == State::Running) {
            t.state = State::Stopped;
            t.seconds = SteadySeconds() - t.start;
            view.Finish(t.progressRow, "stopped");
        }
        if (t.file != platform::kInvalidHandle)
            platform::Close(t.file);
        t.file = platform::kInvalidHandle;
    }
    view.Close();
    return !interrupted;
}

}  // namespace cli
