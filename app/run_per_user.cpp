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
  int failed = 0;
  if (!WriteRegistrationRows(system, CurrentUserRegistration(), failed) || failed > 0)
    failures.push_back(std::to_string(failed) + " clé(s) ou valeur(s) n'ont pas pu être écrites");
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

std::string KeptProgramPath(const RunState& state) {
  return state.ProgramFilesFolder + "Movrix18\\Movrix18.exe";
}

void FrmCopy::RecordUserState() {
  std::vector<std::string> failures;
  if (RecordCurrentUserState(system_, failures)) return;
  for (const std::string& failure : failures) Log("ÉCHEC : " + failure);
  ++state_.FailedRegistryWrites;
}

bool FrmCopy::KeepProgramCopy() {
  const std::string kept = KeptProgramPath(state_);
  const std::string running = system_.ExecutablePath();
  if (EqualsIgnoringCase(running, kept)) return true;
  return Guarded(
      [&] {
        const std::string folder = kept.substr(0, kept.rfind('\\'));
        if (system_.PathAttributes(folder) < 0) system_.CreateFolder(folder);
        system_.CopyFileOver(running, kept);
        return true;
      },
      [&](const std::string& description) {
        Log("ÉCHEC : " + kept + " : " + description);
        ++state_.Copy.FailedFiles;
        return false;
      });
}

void FrmCopy::RegisterForEveryUser() {
  Log("== Inscrire Windows Mail pour chaque utilisateur");
  if (!KeepProgramCopy()) return;
  if (int failed = WriteActiveSetupComponent(system_, KeptProgramPath(state_))) {
    Log("ÉCHEC : HKLM\\" + std::string(kActiveSetupKey) + " : " + std::to_string(failed) +
        " valeur(s) n'ont pas pu être écrites");
    state_.FailedRegistryWrites += failed;
  }
}

}  // namespace movrix
