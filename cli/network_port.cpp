// The TCP port of network print jobs (the module's override is not available yet).
#include "cli/network_port.h"

namespace cli {
void SetNetworkJobPort(int) {}
}  // namespace cli
