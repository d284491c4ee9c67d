// The way back: the uninstallation run. From what the installation kept for it (run_install.cpp),
// it undoes the phases in the reverse order of the installation: registration, system files,
// program folders.
#include "app/frm_copy.h"
#include "app/run_per_user.h"
#include "common/guard.h"
#include "common/text.h"
#include "files/file_exists.h"
#include "files/file_record.h"
#include "files/launch_folders.h"
#include "files/restart_moves.h"
#include "files/restore.h"
#include "registry/active_setup.h"
#include "registry/mod_key.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"

namespace movrix {
namespace {

constexpr const char* kUninstallQuestion =
    "Désinstaller Windows Mail ?\r\n"
    "\r\n"
    "Les dossiers programmes, les fichiers système et la base de registre\r\n"
    "retrouveront leur état d'avant la première installation.";
constexpr const char* kNothingInstalled =
    "Aucune installation de Windows Mail par Movrix18 n'a été trouvée.\r\n"
    "Rien n'a été modifié.";

// The head of the output box of the way back.
std::string UninstallSteps() {
  return JoinLines({Repeat('=', 46), "Désinstaller Windows Mail",
                    "Rétablir l'état d'avant la première installation", Repeat('=', 46)});
}

}  // namespace

std::string OwnFolderOf(const RunState& state) {
  return state.ProgramFilesFolder + kProgramTitle + "\\";
}

bool MachineInstallationFound(System& system, const RunState& state, bool is_64_bit) {
  const std::string own_folder = OwnFolderOf(state);
  for (const char* record : {kRegistryRecordName, kFileRecordName, kWrittenRecordName})
    if (PathExists(system, own_folder + record)) return true;
  return HasFolderBackups(system, state, is_64_bit) ||
         HasSystemFileBackups(system, state, is_64_bit) ||
         KeyExists(system, kLocalMachine, kUninstallKey) || ActiveSetupComponentInstalls(system);
}

void FrmCopy::RunUninstall() {
  Guarded([this] { RunUninstallSteps(); },
          [this](const std::string& description) {
            Stop(description, Icon::kCritical, "RunUninstall");
          });
}

bool FrmCopy::SomethingInstalled() {
  return MachineInstallationFound(system_, state_, state_.Identity.is_64_bit) ||
         UserPriorStateKey(system_).Exists() ||
         UserPriorStateKey(system_, UserPriorStateKey::kWrittenValue).Exists();
}

bool FrmCopy::RegistryRecordsUsable(RegistryWayBack& machine, UserWayBack& user,
                                    RestoreReport& report) {
  // Where the installation keeps a machine record, its entry or its component means that the
  // registration ran: without the record, nothing could tell what was there before it.
  const bool registered =
      state_.Identity.CompletedBySystemFiles() &&
      (KeyExists(system_, kLocalMachine, kUninstallKey) || ActiveSetupComponentInstalls(system_));
  if (machine.Load(report) == RegistryWayBack::Records::kNone && registered)
    report.Fail("aucun enregistrement de l'état d'origine", RegistryRecordPath(), "");
  user.Load(report);
  return !report.Failed();
}

void FrmCopy::RunUninstallSteps() {
  if (!system_.IsNTAdmin()) return Stop(kNeedsAdministrator, Icon::kCritical);
  Win_Ver();
  Log("Système : " + text(kTxtSys).substr(0, text(kTxtSys).find(kCrLf)));
  if (state_.Identity.family == WindowsFamily::kOther)
    return Stop("Le système n'est ni Windows 7, ni Windows 8, ni Windows 10");
  if (!SomethingInstalled()) {
    state_.Outcome.end = RunEnd::kNothingInstalled;
    return Stop(kNothingInstalled, Icon::kInformation);
  }
  RestoreReport report(state_.Outcome);
  PriorStateFile prior(system_, RegistryRecordPath()), written(system_, WrittenRecordPath());
  RegistryWayBack machine(system_, MachineRegistration(state_.Identity.is_64_bit), prior, written);
  UserWayBack user(system_);
  const std::optional<FileRecord> files = LoadFileRecord(report);
  // A record that is missing or cannot be trusted stops the way back before anything changes:
  // the entry and every record stay for a run that can finish it.
  if (!RegistryRecordsUsable(machine, user, report) || !files) {
    steps_ = UninstallSteps();
    return ShowOutcome();
  }
  if (!silent_ && system_.ShowMessage(kUninstallQuestion, "Désinstaller Windows Mail",
                                      Buttons::kYesNo, Icon::kQuestion) != Answer::kYes) {
    state_.Outcome.end = RunEnd::kUserRefused;
    return Halt();
  }

  Log("== Rétablir la base de registre");
  machine.Restore(report);
  // The user who uninstalls gets their own state back at once; every other user at their next
  // sign-in, through the retired component.
  user.Restore(report);
  Log("== Rétablir les fichiers système");
  const int left = RestoreSystemFiles(system_, state_, state_.Identity.is_64_bit, *files, report);
  Log("== Rétablir les dossiers programmes");
  RestoreProgramFolders(system_, state_, state_.Identity.is_64_bit, report);
  // What the installer kept for the way back goes last, and only once nothing is left to retry.
  // A system file left as someone else's keeps its backup, and the record that tells it apart.
  if (!report.Failed() && left == 0) RemoveOwnTraces(report);
  steps_ = UninstallSteps();
  steps_ += JoinLines(report.done());
  state_.Outcome.end = RunEnd::kCompleted;
  ShowOutcome();
}

std::optional<FileRecord> FrmCopy::LoadFileRecord(RestoreReport& report) {
  try {
    if (std::optional<FileRecord> files = ReadFileRecord(system_, FileRecordPath())) return files;
    report.Fail("enregistrement endommagé", FileRecordPath(), "");
  } catch (const SystemError& failure) {
    report.Fail("enregistrement illisible", FileRecordPath(), failure.what());
  }
  return std::nullopt;
}

void FrmCopy::RemoveOwnTraces(RestoreReport& report) {
  if (KeyExists(system_, kLocalMachine, kActiveSetupKey))
    RetireForEveryUser(report);
  else
    RemoveOwnFolder(report);
  // The entry goes last: a run that stops before leaves it, and with it the way to try again.
  if (!report.Failed()) RemoveUninstallEntry(system_, report);
}

void FrmCopy::RemoveOwnFolder(RestoreReport& report) {
  const std::string folder = OwnFolder();
  const std::string program = KeptProgram();
  const bool running_from_folder = EqualsIgnoringCase(system_.ExecutablePath(), program);
  try {
    if (running_from_folder) {
      // The running program cannot delete itself. Set aside under a name of its own, it is
      // deleted at the next restart, which can then never take the copy of a later installation;
      // the folder goes then too, unless such an installation has filled it again.
      MoveAtRestartOnce(system_, MoveAside(system_, program), "");
      RemoveRecords(report);
      MoveAtRestartOnce(system_, folder.substr(0, folder.size() - 1), "");
      report.Done("Dossier supprimé au prochain redémarrage : " + folder);
      return;
    }
    const std::vector<Failure> left = RemoveTree(system_, folder.substr(0, folder.size() - 1));
    for (const Failure& entry : left) report.outcome().Fail(entry.what, entry.reason);
    if (left.empty()) report.Done("Dossier supprimé : " + folder);
  } catch (const SystemError& failure) {
    report.Fail("dossier non supprimé", folder, failure.what());
  }
}

void FrmCopy::RetireForEveryUser(RestoreReport& report) {
  // Users who got the rows at a sign-in get their own state back at their next one, from the
  // kept program: it stays while the retired component points at it; only the record goes.
  if (const int failed = RetireActiveSetupComponent(system_, KeptProgram())) {
    return report.Fail("composant non retiré", "HKLM\\" + std::string(kActiveSetupKey),
                       std::to_string(failed) + " valeur(s) n'ont pas pu être écrites");
  }
  report.Done("Chaque utilisateur retrouvera ses valeurs à sa prochaine ouverture de session");
  RemoveRecords(report);
}

void FrmCopy::RemoveRecords(RestoreReport& report) {
  for (const std::string& record : {RegistryRecordPath(), WrittenRecordPath(), FileRecordPath()}) {
    try {
      // A record already gone is what this step wants.
      if (PathExists(system_, record)) system_.RemoveFile(record);
    } catch (const SystemError& failure) {
      report.Fail("fichier non supprimé", record, failure.what());
    }
  }
}

}  // namespace movrix
