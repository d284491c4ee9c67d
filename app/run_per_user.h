// The per-user part of the registration, for every user of the machine: the run that each user's
// sign-in starts through Active Setup (`/utilisateur`), and its way back.
#pragma once

#include <string>

#include "app/run_log.h"
#include "common/restore_report.h"
#include "common/run_state.h"
#include "platform/system.h"
#include "registry/prior_state.h"

namespace movrix {

// `/utilisateur`: records the current user's prior state once, then writes the registration's
// HKEY_CURRENT_USER rows for them and records what they hold; with `uninstall`, puts that prior
// state back instead. Needs no administrator rights and touches nothing outside the user's own
// hive. Every failure goes to `log`; a run that fails has the user's sign-in run it again.
// Returns 0, or 1603 when anything failed.
int RunPerUser(System& system, RunLog& log, bool uninstall);

// Records what the registration wrote into the current user's hive; a failure goes to `outcome`.
void RecordUserWrittenState(System& system, Outcome& outcome);

// The current user's records and their way back.
class UserWayBack {
 public:
  explicit UserWayBack(System& system);
  // Reads and checks the user's records, changing nothing; a refused one is named in `report`.
  RegistryWayBack::Records Load(RestoreReport& report) { return way_back_.Load(report); }
  // Only once Load() has checked both records: puts back the user's prior state, then removes
  // their records once nothing is left to retry; they are kept after a failure, so that a later
  // run can finish.
  void Restore(RestoreReport& report);

 private:
  UserPriorStateKey prior_, written_;
  RegistryWayBack way_back_;
};

}  // namespace movrix
