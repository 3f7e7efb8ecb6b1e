// Internal to the connection module: the pieces OpenConnection is made of, shared by its branches.
#pragma once

#include <string>

#include "connection/slots.h"

// Reports a failed open: stores the text, frees the slot, posts WM_LINK_ERROR to its window.
// Always returns null, for `return FailOpen(...)`.
CONNECTION_SLOT* FailOpen(CONNECTION_SLOT* slot, std::string text);

// The branches by kind; each returns the slot on success or FailOpen's null.
CONNECTION_SLOT* OpenUsbConnection(CONNECTION_SLOT* slot);
CONNECTION_SLOT* OpenParallelConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST& request);
CONNECTION_SLOT* OpenSerialConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST& request);
CONNECTION_SLOT* OpenNetworkConnection(CONNECTION_SLOT* slot, const CONNECTION_REQUEST& request);

// The reason an open of a device failed, for a second line under the failure text.
std::string DeviceOpenReason(int code);
