// The rights step: the Administrators group takes a path over before it is written.
#pragma once

#include <string>

#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// Hands `path` to the Administrators group (takeown, then icacls). With `await`, waits for each
// command to end, 30 s at most, and a command still running then is a warning in `outcome`;
// otherwise they run on alongside. False only when a command could not be started, after its box;
// `outcome` then holds the failure, as the path not written for want of rights.
bool SetRights(System& system, Outcome& outcome, const std::string& path, bool await = false);

}  // namespace movrix
