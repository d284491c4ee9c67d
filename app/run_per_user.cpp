// The per-user part: what the installation does so that every user gets it, and the run each
// user's sign-in starts.
#include "app/run_per_user.h"

#include "app/frm_copy.h"
#include "common/guard.h"
#include "registry/active_setup.h"
#include "registry/prior_state.h"
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

// Writes the rows for the current user once their prior state is recorded.
void WriteUserRows(System& system, RunLog& log, Outcome& outcome) {
  log.Line("== Inscrire Windows Mail pour l'utilisateur");
  if (RecordUserPriorState(system, outcome) &&
      !WriteRegistrationRows(system, CurrentUserRegistration(), outcome))
    outcome.Fail("l'inscription s'est arrêtée avant sa fin", "");
}

void RestoreUserRows(System& system, RunLog& log, Outcome& outcome) {
  log.Line("== Rétablir les valeurs de l'utilisateur");
  RestoreReport report(outcome);
  if (!RestoreUserState(system, report))
    log.Line("Aucun état antérieur enregistré pour cet utilisateur : rien à rétablir");
}

}  // namespace

bool RestoreUserState(System& system, RestoreReport& report) {
  UserPriorStateKey store(system);
  if (!RestorePriorState(system, store, report)) return false;
  if (report.Failed()) return true;
  Guarded([&] { store.Remove(); },
          [&](const std::string& description) {
            report.Fail("état antérieur non supprimé", store.Name(), description);
          });
  report.Done("Valeurs de l'utilisateur rétablies");
  return true;
}

int RunPerUser(System& system, RunLog& log, bool uninstall) {
  log.Line("Utilisateur : " + system.GetEnv("USERNAME"));
  Outcome outcome;
  if (uninstall)
    RestoreUserRows(system, log, outcome);
  else
    WriteUserRows(system, log, outcome);
  outcome.end = RunEnd::kCompleted;
  log.Line(OutcomeLines(outcome) +
           (outcome.Succeeded() ? "Statut : terminé" : "Statut : incomplet"));
  return ExitCodeOf(outcome);
}

void FrmCopy::RecordUserState() {
  RecordUserPriorState(system_, state_.Outcome);
}

void FrmCopy::RegisterForEveryUser() {
  Log("== Inscrire Windows Mail pour chaque utilisateur");
  if (int failed = WriteActiveSetupComponent(system_, KeptProgram())) {
    state_.Outcome.Fail("HKLM\\" + std::string(kActiveSetupKey),
                        std::to_string(failed) + " valeur(s) n'ont pas pu être écrites");
  }
}

}  // namespace movrix
