// The parallel, serial and network branches of OpenConnection (not available yet).
#include "connection/open_connection.h"

CONNECTION_SLOT* OpenParallelConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST&) {
    return FailOpen(slot, "Invalid connection type!");
}
CONNECTION_SLOT* OpenSerialConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST&) {
    return FailOpen(slot, "Invalid connection type!");
}
CONNECTION_SLOT* OpenNetworkConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST&) {
    return FailOpen(slot, "Invalid connection type!");
}
