// The per-user part reads top to bottom: the user's rows, or their way back; then, after a
// failure, the sign-in is told to run it again.
#include "app/per_user.h"

#include "app/box_reporter.h"
#include "app/run_end.h"
#include "registry/active_setup.h"
#include "registry/user_state.h"
#include "registry/write_registration.h"

namespace movrix {
namespace {

// Writes the rows for the current user once their prior state is recorded, then records what
// they hold.
void WriteUserRows(System& system, RunLog& log, Outcome& outcome) {
  log.Line("== Inscrire Windows Mail pour l'utilisateur");
  if (!RecordUserPriorState(system, outcome)) return;
  BoxReporter boxes(system);
  if (std::optional<Stop> stop =
          WriteRegistrationRows(system, boxes, CurrentUserRegistration(), outcome)) {
    ShowStop(system, kRegistrationTitle, *stop, Icon::kNone);
    outcome.Fail("l'inscription s'est arrêtée avant sa fin", "");
  }
  RecordUserWrittenState(system, outcome);
}

void RestoreUserRows(System& system, RunLog& log, Outcome& outcome) {
  log.Line("== Rétablir les valeurs de l'utilisateur");
  RestoreReport report(outcome);
  UserWayBack way_back(system);
  if (way_back.Load(report) == RegistryWayBack::Records::kNone)
    log.Line("Aucun état antérieur enregistré pour cet utilisateur : rien à rétablir");
  way_back.Restore(report);
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

}  // namespace movrix
