// The uninstallation started without administrator rights, as Programs and Features starts it,
// and the log of the run it restarts with them.
#pragma once

#include <string>
#include <vector>

#include "app/run_log.h"
#include "platform/system.h"

namespace movrix {

// Stops the start with a box (in silent mode, a line of the log), logs that nothing changed and
// hands back `exit_code`.
int Refuse(System& system, RunLog& log, const std::string& message, int exit_code);

// Opens, for a run restarted with the rights, a new log of its own whose name holds `marker`, in
// a folder only administrators write. Returns why it cannot be used; empty when it is open.
std::string OpenRestartLog(System& system, const std::string& marker, RunLog& log);

// Interactively, starts the program again with the rights, the system asking the user, and ends
// as that run ends, its log copied into `log`; silently nobody can be asked, and nothing changes.
// Returns the exit code.
int UninstallWithoutRights(System& system, RunLog& log, const std::vector<std::string>& arguments,
                           bool silent);

}  // namespace movrix
