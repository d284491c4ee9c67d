// The rights step: the Administrators group takes a path over before it is written.
#pragma once

#include <string>

#include "common/reporter.h"
#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// Hands `path` to the Administrators group (the native takeown, then icacls). With `await`, waits
// for each command to end, 30 s at most, and a command still running then is a warning in
// `outcome`; otherwise they run on alongside. Throws SystemError when a command cannot be started,
// or when an awaited one ends with a code other than 0 (the description names the command and
// its code).
void SetRights(Processes& programs, MessagePump& window, Outcome& outcome, const std::string& path,
               bool await = false);

// What the step that asked tells and records when the rights step failed for `path`: the report
// titled "SetRights" with the system's `description`, and `path` not written for want of rights.
void ReportRightsFailure(Reporter& boxes, Outcome& outcome, const std::string& path,
                         const std::string& description);

// The awaited rights step for a file that is about to be moved, whose failure that step reports
// itself (ReportRightsFailure). False when it failed.
bool AwaitRightsOrReport(Processes& programs, MessagePump& window, Reporter& boxes,
                         Outcome& outcome, const std::string& path);

}  // namespace movrix
