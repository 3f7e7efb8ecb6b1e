// Runs USB transfers of one file to one or more printers at once, one slot each, and follows
// them through the link messages until each has finished, failed or been stopped by Ctrl+C.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "connection/manager.h"
#include "platform/platform.h"

namespace cli {

struct Transfer {
    std::string name;  // display name, as the printer table lists it
    std::string path;  // its device path
    std::int64_t size = 0;

    enum class State { Waiting, Running, Done, Failed, Stopped };
    State state = State::Waiting;
    std::int64_t bytes = 0;  // bytes the printer has taken, as the last progress message said
    std::string error;       // the module's text, for Failed
    int exitCode = 0;        // for Failed: 1 the transfer failed, 3 the printer could not be opened
    double seconds = 0;      // from the start of the transfer to its end

    // Internal to the run.
    platform::Handle file = platform::kInvalidHandle;
    CONNECTION_SLOT* slot = nullptr;
    std::uint32_t claim = 0;
    int progressRow = -1;
    double start = 0;
};

// Opens a slot per transfer (a transfer whose open fails is marked Failed and the others go on),
// starts them together, shows their progress on standard error and returns when every transfer
// is over. Every slot is released and the workers have ended on return. Returns false when the
// user stopped the run with Ctrl+C.
bool RunTransfers(CConnectionManager& manager, const std::string& filePath,
                  std::vector<Transfer>& transfers);

}  // namespace cli
