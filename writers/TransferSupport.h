#pragma once
// What the drivers' transfers of stored notes share: the folder for their capture files and the
// message pump that keeps the user interface answering during a long transfer.
#include <string>

// The folder for capture files: the TEMP variable when it is set and not empty; otherwise a
// folder of this user's own (mode 0700) under TMPDIR or /tmp, created when missing, the same
// one on every call. Never empty unless no such folder can be made at all. Join file names
// with "/".
std::string GetTempDir();

// Handles every event waiting for the calling thread. A quit request seen meanwhile is posted
// again for the modal loop that owns it, and the result is false; otherwise true. Without an
// application object there is nothing to handle and the result is true.
bool PumpMessages();
