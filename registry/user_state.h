// The current user's side of the registration's records: their prior state, recorded before the
// rows are written into their hive, what the rows held once written, and their way back. Kept in
// the user's own hive, which is theirs to change: every use checks it first.
#pragma once

#include "common/restore_report.h"
#include "common/run_state.h"
#include "platform/system.h"
#include "registry/prior_state.h"

namespace movrix {

// Records the current user's prior state once, and what the registration will write for them;
// false, the failure in `outcome`, when it cannot be: the rows must not be written then, or that
// state would be lost.
bool RecordUserPriorState(Registry& system, Outcome& outcome);

// Records what the registration wrote into the current user's hive; a failure goes to `outcome`.
void RecordUserWrittenState(Registry& system, Outcome& outcome);

// The current user's records and their way back.
class UserWayBack {
 public:
  explicit UserWayBack(Registry& system);
  // Reads and checks the user's records, changing nothing; a refused one is named in `report`.
  RegistryWayBack::Records Load(RestoreReport& report) { return way_back_.Load(report); }
  // Only once Load() has checked both records: puts back the user's prior state, then removes
  // their records once nothing is left to retry; they are kept after a failure, so that a later
  // run can finish. When nothing was written, removes what is left of the records; a refused
  // record changes nothing.
  void Restore(RestoreReport& report);

 private:
  UserPriorStateKey prior_, written_;
  RegistryWayBack way_back_;
};

}  // namespace movrix
