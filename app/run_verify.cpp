// The check run: a system update can put an original system file back and a feature update can
// replace the "Windows Mail" folder while the Programs and Features entry stays, so detection that
// trusts the entry says "installed" on a machine whose mail client no longer works. This run
// compares the machine with the sealed records instead, so that a machine that drifted reads as
// not installed and the deployment tool's new installation repairs it.
#include "app/run_verify.h"

#include <optional>
#include <string>
#include <vector>

#include "app/identify_windows.h"
#include "app/installation.h"
#include "app/run_end.h"
#include "app/start_up.h"
#include "files/file_exists.h"
#include "files/file_record.h"
#include "files/restore.h"
#include "registry/active_setup.h"
#include "registry/key_io.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"

namespace movrix {
namespace {

// What a comparison found: one line per difference (none when intact); nullopt when there was
// nothing installed to compare with.
using Differences = std::optional<std::vector<std::string>>;

void Append(std::vector<std::string>& lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
}

// Compares the values of one list with its two records. Records that are missing, damaged or
// name what is not theirs are differences of their own: nothing can be told intact from them.
Differences RegistryDifferences(RegistryWayBack& way_back) {
  Outcome refusals;
  RestoreReport report(refusals);
  const RegistryWayBack::Records records = way_back.Load(report);
  if (records == RegistryWayBack::Records::kNone) return std::nullopt;
  if (records == RegistryWayBack::Records::kChecked) return way_back.ChangedSinceRegistration();
  std::vector<std::string> lines;
  for (const Failure& refusal : refusals.failures)
    lines.push_back(refusal.what + (refusal.reason.empty() ? "" : " : " + refusal.reason));
  return lines;
}

// The entry is written only once an installation completed, and on a system that registers, the
// component gives every user their rows: without either, the installation is not whole.
std::vector<std::string> CompletionDifferences(System& system, bool registers) {
  std::vector<std::string> lines;
  if (!KeyExists(system, kLocalMachine, kUninstallKey))
    lines.push_back(
        "aucune entrée de Programmes et fonctionnalités, l'installation ne s'est pas "
        "terminée : HKLM\\" +
        std::string(kUninstallKey));
  if (registers && !ActiveSetupComponentInstalls(system))
    lines.push_back(
        "composant absent ou retiré, les utilisateurs n'auront pas leurs valeurs : HKLM\\" +
        std::string(kActiveSetupKey));
  return lines;
}

// Every file of both trees and every system file against its recorded size and SHA-256.
std::vector<std::string> FileRecordDifferences(System& system, const std::string& record_path,
                                               const RunState& state) {
  try {
    // An installation by this build always keeps the record, even of nothing written yet.
    if (!PathExists(system, record_path))
      return {"aucun enregistrement des fichiers installés : " + record_path};
    if (const std::optional<FileRecord> record =
            ReadFileRecord(system, record_path, state, state.identity.is_64_bit))
      return FileDifferences(system, system, *record);
    return {"enregistrement endommagé : " + record_path};
  } catch (const SystemError& failure) {
    return {"enregistrement illisible : " + record_path + " : " + failure.what()};
  }
}

// Every machine value of the registration against what it held once written.
std::vector<std::string> MachineRegistryDifferences(System& system, const KeptForWayBack& kept,
                                                    const SystemIdentity& identity) {
  PriorStateFile prior(system, kept.registry_record);
  PriorStateFile written(system, kept.written_record);
  RegistryWayBack way_back(system, MachineRegistration(identity, kept.program), prior, written);
  if (Differences differences = RegistryDifferences(way_back)) return *differences;
  // An installation by an older build on a system it did not register kept no record.
  if (!identity.CompletedBySystemFiles()) return {};
  return {"aucun enregistrement des valeurs écrites par l'installation : " + written.Name()};
}

// The machine as the installation left it, found the way the way back finds it: the folders from
// the system and the system from its version key, which is only read, as anyone may.
Differences MachineDifferences(System& system) {
  RunState state;
  SetFolderValues(state, system.ReadIdentity());
  WindowsDescription window;
  if (!IdentifyWindows(system, state.identity, window, kKeyReadAccess))
    return std::vector<std::string>{"le système n'a pas pu être identifié"};
  if (!MachineInstallationFound(system, state)) return std::nullopt;
  const KeptForWayBack kept(state);
  const bool registers = state.identity.CompletedBySystemFiles();
  std::vector<std::string> differences = CompletionDifferences(system, registers);
  Append(differences, FileRecordDifferences(system, kept.file_record, state));
  Append(differences, MachineRegistryDifferences(system, kept, state.identity));
  for (const std::string& copy :
       LeftAsideCopies(system, system, state, state.identity.is_64_bit, kept.program))
    differences.push_back("copie mise de côté, jamais supprimée : " + copy);
  return differences;
}

// The current user's rows against the records in their own hive; nullopt for a user who never
// had them.
Differences UserDifferences(System& system) {
  UserPriorStateKey prior(system), written(system, UserPriorStateKey::kWrittenValue);
  RegistryWayBack way_back(system, CurrentUserRegistration(), prior, written);
  return RegistryDifferences(way_back);
}

// What the log says of each ending, for the machine and for a user.
struct Texts {
  const char* heading;
  const char* nothing_installed;
  const char* intact;
  const char* repair;
};
constexpr Texts kMachineTexts = {
    "== Comparer l'ordinateur avec ce que l'installation a écrit",
    "Aucune installation de Windows Mail par Movrix18 n'a été trouvée.",
    "L'installation est intacte : tout est tel qu'elle l'a écrit.",
    "une nouvelle installation la répare."};
constexpr Texts kUserTexts = {
    "== Comparer les valeurs de l'utilisateur avec ce que l'inscription a écrit",
    "Aucune inscription de Windows Mail n'a été trouvée pour cet utilisateur.",
    "Les valeurs de l'utilisateur sont telles que l'inscription les a écrites.",
    "Movrix18.exe /utilisateur les écrit de nouveau."};

}  // namespace

int RunVerify(System& system, RunLog& log, bool per_user) {
  const Texts& texts = per_user ? kUserTexts : kMachineTexts;
  log.Line(texts.heading);
  Differences differences;
  try {
    differences = per_user ? UserDifferences(system) : MachineDifferences(system);
  } catch (const SystemError& failure) {
    // What cannot be read cannot be told intact.
    differences =
        std::vector<std::string>{"comparaison impossible : " + std::string(failure.what())};
  }
  if (!differences) {
    log.Line(std::string("Statut : ") + texts.nothing_installed);
    return kExitNothingInstalled;
  }
  for (const std::string& difference : *differences) log.Line("DIFFÉRENCE : " + difference);
  if (differences->empty()) {
    log.Line(std::string("Statut : ") + texts.intact);
    return kExitInstalled;
  }
  log.Line("Statut : " + std::to_string(differences->size()) +
           " différence(s) avec ce qui a été écrit : " + texts.repair);
  return kExitNotIntact;
}

}  // namespace movrix
