// The per-user part: what the installation does so that every user gets it, and the run each
// user's sign-in starts.
#include "app/run_per_user.h"

#include "app/frm_copy.h"
#include "common/guard.h"
#include "registry/active_setup.h"
#include "registry/per_user_rows.h"
#include "registry/write_reg.h"

namespace movrix {
namespace {

// Writes the rows for the current user once their prior state is recorded.
void WriteUserRows(System& system, RunLog& log, std::vector<std::string>& failures) {
  log.Line("== Inscrire Windows Mail pour l'utilisateur");
  if (!RecordCurrentUserState(system, failures)) return;
  Outcome written;
  const bool went_through = WriteRegistrationRows(system, CurrentUserRegistration(), written);
  for (const Failure& failure : written.failures)
    failures.push_back(failure.what + " : " + failure.reason);
  if (!went_through) failures.push_back("l'inscription s'est arrêtée avant sa fin");
}

void RestoreUserRows(System& system, RunLog& log, std::vector<std::string>& failures) {
  log.Line("== Rétablir les valeurs de l'utilisateur");
  if (RestoreCurrentUserState(system, failures) == RestoreResult::kNoRecord)
    log.Line("Aucun état antérieur enregistré pour cet utilisateur : rien à rétablir");
}

}  // namespace

int RunPerUser(System& system, RunLog& log, bool uninstall) {
  log.Line("Utilisateur : " + system.GetEnv("USERNAME"));
  std::vector<std::string> failures;
  if (uninstall)
    RestoreUserRows(system, log, failures);
  else
    WriteUserRows(system, log, failures);
  for (const std::string& failure : failures) log.Line("ÉCHEC : " + failure);
  log.Line(failures.empty() ? "Statut : terminé" : "Statut : incomplet");
  return failures.empty() ? kExitInstalled : kExitFailed;
}

void FrmCopy::RecordUserState() {
  std::vector<std::string> failures;
  if (RecordCurrentUserState(system_, failures)) return;
  for (const std::string& failure : failures) state_.Outcome.Fail(failure, "");
}

void FrmCopy::RegisterForEveryUser() {
  Log("== Inscrire Windows Mail pour chaque utilisateur");
  if (int failed = WriteActiveSetupComponent(system_, KeptProgram())) {
    state_.Outcome.Fail("HKLM\\" + std::string(kActiveSetupKey),
                        std::to_string(failed) + " valeur(s) n'ont pas pu être écrites");
  }
}

}  // namespace movrix
