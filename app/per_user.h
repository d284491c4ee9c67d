// The per-user part: the run that each user's sign-in starts through Active Setup
// (`/utilisateur`), which gives that user the registration's rows, and its way back.
#pragma once

#include "app/run_log.h"
#include "platform/system.h"

namespace movrix {

// `/utilisateur`: records the current user's prior state once, then writes the registration's
// HKEY_CURRENT_USER rows for them and records what they hold; with `uninstall`, puts that prior
// state back instead. Needs no administrator rights and touches nothing outside the user's own
// hive. Every failure goes to `log`; a run that fails has the user's sign-in run it again.
// Returns 0, or 1603 when anything failed.
int RunPerUser(System& system, RunLog& log, bool uninstall);

}  // namespace movrix
