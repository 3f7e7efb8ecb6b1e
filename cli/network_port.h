// The TCP port of network print jobs: 9100 unless the user names another (print servers with
// several ports, tests against a loopback listener).
#pragma once

namespace cli {
void SetNetworkJobPort(int port);
}
