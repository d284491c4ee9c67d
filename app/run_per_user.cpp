// The per-user part: what the installation does so that every user gets it, and the run each
// user's sign-in starts.
#include "app/run_per_user.h"

#include "app/frm_copy.h"
#include "common/guard.h"
#include "registry/active_setup.h"
#include "registry/write_reg.h"

namespace movrix {
namespace {

// Records the current user's prior state once; false, the failure in `outcome`, when it cannot
// be: the rows must not be written then, or that state would be lost.
bool RecordUserPriorState(System& system, Outcome& outcome) {
  return Guarded(
      [&] {
        UserPriorStateKey store(system);
        RecordPriorState(system, CurrentUserRegistration(), store);
        return true;
      },
      [&](const std::string& description) {
        outcome.Fail("état antérieur de l'utilisateur non enregistré", description);
        return false;
      });
}

// Writes the rows for the current user once their prior state is recorded, then records what
// they hold.
void WriteUserRows(System& system, RunLog& log, Outcome& outcome) {
  log.Line("== Inscrire Windows Mail pour l'utilisateur");
  if (!RecordUserPriorState(system, outcome)) return;
  if (!WriteRegistrationRows(system, CurrentUserRegistration(), outcome))
    outcome.Fail("l'inscription s'est arrêtée avant sa fin", "");
  RecordUserWrittenState(system, outcome);
}

void RestoreUserRows(System& system, RunLog& log, Outcome& outcome) {
  log.Line("== Rétablir les valeurs de l'utilisateur");
  RestoreReport report(outcome);
  UserWayBack way_back(system);
  const RegistryWayBack::Records records = way_back.Load(report);
  if (records == RegistryWayBack::Records::kChecked) return way_back.Restore(report);
  if (records == RegistryWayBack::Records::kRefused) return;
  log.Line("Aucun état antérieur enregistré pour cet utilisateur : rien à rétablir");
  // What a run stopped between two deletions left.
  Guarded([&] { UserPriorStateKey(system).RemoveEmptyParent(); },
          [&](const std::string& description) {
            report.Fail("clé non supprimée", "HKCU\\" + std::string(UserPriorStateKey::kParentKey),
                        description);
          });
}

// Has the user's next sign-in run their part again: Windows noted the component's version in
// their hive when it started the run, and runs it again only without that note.
void ForgetUserComponentVersion(System& system, Outcome& outcome) {
  const int32_t status = system.DeleteRegKey(kCurrentUser, kUserComponentKey, kKeyAccess);
  if (status != kErrorSuccess && status != kErrorFileNotFound)
    outcome.Fail("clé non supprimée : HKCU\\" + std::string(kUserComponentKey),
                 system.ErrorText(uint32_t(status)));
}

}  // namespace

void RecordUserWrittenState(System& system, Outcome& outcome) {
  Guarded(
      [&] {
        UserPriorStateKey store(system, UserPriorStateKey::kWrittenValue);
        RecordWrittenState(system, CurrentUserRegistration(), store);
      },
      [&](const std::string& description) {
        outcome.Fail("valeurs écrites pour l'utilisateur non enregistrées", description);
      });
}

UserWayBack::UserWayBack(System& system)
    : prior_(system),
      written_(system, UserPriorStateKey::kWrittenValue),
      way_back_(system, CurrentUserRegistration(), prior_, written_) {}

void UserWayBack::Restore(RestoreReport& report) {
  if (way_back_.records() != RegistryWayBack::Records::kChecked) return;
  way_back_.Restore(report);
  if (report.Failed()) return;
  Guarded([&] { prior_.Remove(); },
          [&](const std::string& description) {
            report.Fail("état antérieur non supprimé", prior_.Name(), description);
          });
  report.Done("Valeurs de l'utilisateur rétablies");
}

int RunPerUser(System& system, RunLog& log, bool uninstall) {
  log.Line("Utilisateur : " + system.GetEnv("USERNAME"));
  Outcome outcome;
  if (uninstall)
    RestoreUserRows(system, log, outcome);
  else
    WriteUserRows(system, log, outcome);
  outcome.end = RunEnd::kCompleted;
  if (!outcome.Succeeded()) ForgetUserComponentVersion(system, outcome);
  log.Line(OutcomeLines(outcome) +
           (outcome.Succeeded() ? "Statut : terminé" : "Statut : incomplet"));
  return ExitCodeOf(outcome);
}

bool FrmCopy::RecordUserState() {
  return RecordUserPriorState(system_, state_.Outcome);
}

void FrmCopy::RegisterForEveryUser() {
  Log("== Inscrire Windows Mail pour chaque utilisateur");
  if (int failed = WriteActiveSetupComponent(system_, KeptProgram())) {
    state_.Outcome.Fail("HKLM\\" + std::string(kActiveSetupKey),
                        std::to_string(failed) + " valeur(s) n'ont pas pu être écrites");
  }
}

}  // namespace movrix
