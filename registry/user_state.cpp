#include "registry/user_state.h"

#include "common/guard.h"
#include "registry/prior_state.h"

namespace movrix {

bool RecordUserPriorState(Registry& system, Outcome& outcome) {
  return Guarded(
      [&] {
        const std::vector<RegistrationEntry> entries = CurrentUserRegistration();
        UserPriorStateKey store(system);
        RecordPriorState(system, entries, store);
        UserPriorStateKey written(system, UserPriorStateKey::kWrittenValue);
        RecordStateToWrite(system, entries, written);
        return true;
      },
      [&](const std::string& description) {
        outcome.Fail("état antérieur de l'utilisateur non enregistré", description);
        return false;
      });
}

void RecordUserWrittenState(Registry& system, Outcome& outcome) {
  Guarded(
      [&] {
        UserPriorStateKey store(system, UserPriorStateKey::kWrittenValue);
        RecordWrittenState(system, CurrentUserRegistration(), store);
      },
      [&](const std::string& description) {
        outcome.Fail("valeurs écrites pour l'utilisateur non enregistrées", description);
      });
}

UserWayBack::UserWayBack(Registry& system)
    : prior_(system),
      written_(system, UserPriorStateKey::kWrittenValue),
      way_back_(system, CurrentUserRegistration(), prior_, written_) {}

void UserWayBack::Restore(RestoreReport& report) {
  if (way_back_.records() == RegistryWayBack::Records::kNone) {
    // Nothing was written for the user; what may be left to go is a prior state recorded by an
    // installation that stopped before it recorded what it would write, or an empty key that a
    // run stopped between two deletions left.
    return Guarded([&] { prior_.Remove(); },
                   [&](const std::string& description) {
                     report.Fail("clé non supprimée",
                                 "HKCU\\" + std::string(UserPriorStateKey::kParentKey),
                                 description);
                   });
  }
  if (way_back_.records() != RegistryWayBack::Records::kChecked) return;
  way_back_.Restore(report);
  if (report.Failed()) return;
  Guarded([&] { prior_.Remove(); },
          [&](const std::string& description) {
            report.Fail("état antérieur non supprimé", prior_.Name(), description);
          });
  report.Done("Valeurs de l'utilisateur rétablies");
}

}  // namespace movrix
