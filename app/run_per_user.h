// The per-user part of the registration, for every user of the machine: the run that each user's
// sign-in starts through Active Setup (`/utilisateur`), and its way back.
#pragma once

#include <string>

#include "app/run_log.h"
#include "common/restore_report.h"
#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// `/utilisateur`: records the current user's prior state once, then writes the registration's
// HKEY_CURRENT_USER rows for them; with `uninstall`, puts that prior state back instead. Needs no
// administrator rights and touches nothing outside the user's own hive. Every failure goes to
// `log`. Returns 0, or 1603 when anything failed.
int RunPerUser(System& system, RunLog& log, bool uninstall);

// Puts back the current user's prior state, then removes their record once nothing is left to
// retry; a record is kept after a failure, so that a later run can finish. False, changing
// nothing, when the user has no record.
bool RestoreUserState(System& system, RestoreReport& report);

}  // namespace movrix
