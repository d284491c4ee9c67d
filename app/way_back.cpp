// The way back. From what the installation kept for it, it undoes the phases in the reverse order
// of the installation: registration, system files, program folders; what the installation kept
// goes last. Its steps follow in that order; RunWayBack, at the end, puts them together.
#include "app/way_back.h"

#include "app/box_reporter.h"
#include "app/installation.h"
#include "common/box_titles.h"
#include "common/guard.h"
#include "common/sealed_record.h"
#include "common/text.h"
#include "files/file_exists.h"
#include "files/file_record.h"
#include "files/restart_moves.h"
#include "files/restore.h"
#include "registry/active_setup.h"
#include "registry/key_io.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"
#include "registry/user_state.h"

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

// The way back's note that everything but what the installation kept came back.
constexpr const char* kProgressKind = "désinstallation";
constexpr const char* kRestoredLine = "registre, fichiers et dossiers rétablis";

// The head of the output box of the way back.
std::string UninstallSteps() {
  return JoinLines({Repeat('=', 46), "Désinstaller Windows Mail",
                    "Rétablir l'état d'avant la première installation", Repeat('=', 46)});
}

// ---- Before anything changes -------------------------------------------------------------------

// False after the box that says no installation was found: the run has then ended.
bool SomethingInstalled(WindowRun& run) {
  if (MachineInstallationFound(run.system, run.state) || UserPriorStateKey(run.system).Exists() ||
      UserPriorStateKey(run.system, UserPriorStateKey::kWrittenValue).Exists())
    return true;
  run.state.outcome.end = RunEnd::kNothingInstalled;
  run.Stop(kNothingInstalled, Icon::kInformation);
  return false;
}

// The record of what the installation wrote as files; nullopt, named in `report`, when it cannot
// be read or is not whole. An older build's installation has none: an empty record.
std::optional<FileRecord> LoadFileRecord(WindowRun& run, const KeptForWayBack& kept,
                                         RestoreReport& report) {
  try {
    if (std::optional<FileRecord> files =
            ReadFileRecord(run.system, kept.file_record, run.state, run.state.identity.is_64_bit))
      return files;
    report.Fail("enregistrement endommagé", kept.file_record, "");
  } catch (const SystemError& failure) {
    report.Fail("enregistrement illisible", kept.file_record, failure.what());
  }
  return std::nullopt;
}

// Reads and checks the registry records of the machine and the current user; false, each refusal
// in `report`, when the way back must not start.
bool RegistryRecordsUsable(WindowRun& run, const KeptForWayBack& kept, RegistryWayBack& machine,
                           UserWayBack& user, RestoreReport& report) {
  // Where the installation keeps a machine record, its entry or its component means that the
  // registration ran: without the record, nothing could tell what was there before it.
  const bool registered = run.state.identity.CompletedBySystemFiles() &&
                          (KeyExists(run.system, kLocalMachine, kUninstallKey) ||
                           ActiveSetupComponentInstalls(run.system));
  if (machine.Load(report) == RegistryWayBack::Records::kNone && registered)
    report.Fail("aucun enregistrement de l'état d'origine", kept.registry_record, "");
  user.Load(report);
  return !report.Failed();
}

// False when the user said No: the run has then ended.
bool UserAgrees(WindowRun& run) {
  if (run.options.silent ||
      run.system.ShowMessage(kUninstallQuestion, kUninstallQuestionTitle, Buttons::kYesNo,
                             Icon::kQuestion) == Answer::kYes)
    return true;
  run.state.outcome.end = RunEnd::kUserRefused;
  run.Halt();
  return false;
}

// True when an earlier way back noted that everything but what the installation kept came back,
// and then broke off. A note that is not whole is not trusted: the whole way back runs again.
bool RestoredEarlier(System& system, const KeptForWayBack& kept) {
  if (!PathExists(system, kept.progress_record)) return false;
  const std::optional<std::vector<std::string>> lines =
      UnsealRecord(kProgressKind, system.ReadWholeFile(kept.progress_record));
  return lines && *lines == std::vector<std::string>{kRestoredLine};
}

// ---- What the installation kept, last ---------------------------------------------------------

// Notes, before the first of the installation's own traces goes, that everything else came back:
// from then on a rerun needs none of the records.
void NoteRestored(WindowRun& run, const KeptForWayBack& kept, RestoreReport& report) {
  try {
    WriteRecordFile(run.system, kept.progress_record, SealRecord(kProgressKind, {kRestoredLine}));
  } catch (const SystemError& failure) {
    report.Fail("fichier non écrit", kept.progress_record, failure.what());
  }
}

// Deletes the records (registry and files) that are still there; a failure is named in `report`.
void RemoveRecords(WindowRun& run, const KeptForWayBack& kept, RestoreReport& report) {
  for (const std::string& record : {kept.registry_record, kept.written_record, kept.file_record}) {
    try {
      RemoveRecordFile(run.system, record);
    } catch (const SystemError& failure) {
      report.Fail("fichier non supprimé", record, failure.what());
    }
  }
}

// Users who got the rows at a sign-in get their own state back at their next one, from the kept
// program: it stays while the retired component points at it. False, named in `report`, when the
// component could not be retired.
bool RetireComponent(WindowRun& run, const KeptForWayBack& kept, RestoreReport& report) {
  try {
    // Retired by a way back that broke off, it has already made some users undo their rows:
    // another version would make them run it once more for nothing.
    if (ActiveSetupComponentInstalls(run.system))
      RetireActiveSetupComponent(run.system, kept.program);
  } catch (const SystemError& failure) {
    report.Fail("composant non retiré", "HKLM\\" + std::string(kActiveSetupKey), failure.what());
    return false;
  }
  report.Done("Chaque utilisateur retrouvera ses valeurs à sa prochaine ouverture de session");
  return true;
}

// Retires the users' component, then deletes the records: only they go.
void RetireForEveryUser(WindowRun& run, const KeptForWayBack& kept, RestoreReport& report) {
  if (RetireComponent(run, kept, report)) RemoveRecords(run, kept, report);
}

// Removes the installer's own folder, or, when the running program is the one kept there, has the
// system remove it at the next restart.
void RemoveOwnFolder(WindowRun& run, const KeptForWayBack& kept, RestoreReport& report) {
  const std::string folder = kept.folder.substr(0, kept.folder.size() - 1);
  try {
    // An installation that stopped before it made its folder kept nothing there.
    if (!FolderExists(run.system, folder)) return;
    const bool running_kept = EqualsIgnoringCase(run.system.ExecutablePath(), kept.program);
    // A run restarted with the rights logs into this folder until it ends.
    const std::string log = run.LogPath();
    const bool logging_there = StartsWithIgnoringCase(log, kept.folder);
    if (!running_kept && !logging_there) {
      const std::vector<Failure> left = RemoveTree(run.system, folder);
      for (const Failure& entry : left) report.outcome().Fail(entry.what, entry.reason);
      if (left.empty()) report.Done("Dossier supprimé : " + kept.folder);
      return;
    }
    // What the run holds goes at the next restart, the folder then too, unless a later
    // installation has filled it again. The running program cannot delete itself: set aside
    // under a name of its own, its deletion can never take the copy of such an installation. It
    // is set aside last: while anything else stays, it stays where the entry points.
    RemoveRecords(run, kept, report);
    if (report.Failed()) return;
    if (running_kept)
      MoveAtRestartOnce(run.system, MoveAside(run.system, kept.program), "");
    else if (PathExists(run.system, kept.program))
      run.system.RemoveFile(kept.program);
    if (logging_there) MoveAtRestartOnce(run.system, log, "");
    DeleteFolderAtRestart(run.system, folder);
    report.Done("Dossier supprimé au prochain redémarrage : " + kept.folder);
  } catch (const SystemError& failure) {
    report.Fail("dossier non supprimé", kept.folder, failure.what());
  }
}

// Removes the way back's own note, once the entry is gone; one that stays is cleared by a rerun
// or by the next installation.
void RemoveProgressRecord(WindowRun& run, const KeptForWayBack& kept, RestoreReport& report) {
  try {
    RemoveRecordFile(run.system, kept.progress_record);
  } catch (const SystemError& failure) {
    report.Fail("fichier non supprimé", kept.progress_record, failure.what());
  }
}

// Removes what the installation kept for the way back: the own folder, or, when users got the
// rows at their sign-in, retires their component and keeps the program it runs; then, once
// nothing failed, the entry, and last the note that tells a rerun where this one stopped.
void RemoveOwnTraces(WindowRun& run, const KeptForWayBack& kept, RestoreReport& report) {
  if (KeyExists(run.system, kLocalMachine, kActiveSetupKey))
    RetireForEveryUser(run, kept, report);
  else
    RemoveOwnFolder(run, kept, report);
  // The entry goes after the rest: a run that stops before leaves it, and with it the way to try
  // again.
  if (!report.Failed()) RemoveUninstallEntry(run.system, report);
  if (!report.Failed()) RemoveProgressRecord(run, kept, report);
}

// What the installer kept for the way back goes last, and only once nothing is left to retry.
// Files or folders left as someone else's keep their backups, the records that tell them apart and
// the entry; every user still gets their values back.
void CompleteWayBack(WindowRun& run, const KeptForWayBack& kept, RestoreReport& report) {
  if (report.Failed()) return;
  if (report.LeftAnyAsFound()) {
    if (KeyExists(run.system, kLocalMachine, kActiveSetupKey)) RetireComponent(run, kept, report);
    return;
  }
  // An installation that stopped before it made its own folder has no traces to note progress
  // for.
  if (FolderExists(run.system, kept.folder)) NoteRestored(run, kept, report);
  if (!report.Failed()) RemoveOwnTraces(run, kept, report);
}

void ShowWayBackOutcome(WindowRun& run, const RestoreReport& report) {
  run.steps = UninstallSteps() + JoinLines(report.done());
  run.state.outcome.end = RunEnd::kCompleted;
  run.ShowOutcome();
}

// A way back that broke off once everything else had come back: only what the installation kept
// is left to remove, and the records it may already have deleted are not needed for that.
void FinishBrokenOffWayBack(WindowRun& run, const KeptForWayBack& kept) {
  if (!UserAgrees(run)) return;
  RestoreReport report(run.state.outcome);
  run.Log("== Terminer la désinstallation interrompue");
  DeleteLeftAsideCopies(run.system, run.system, run.state, run.state.identity.is_64_bit,
                        kept.program, report);
  RemoveOwnTraces(run, kept, report);
  ShowWayBackOutcome(run, report);
}

void RunWayBackSteps(WindowRun& run) {
  if (!RightsAndSystemAccepted(run) || !SomethingInstalled(run)) return;
  const bool is_64_bit = run.state.identity.is_64_bit;
  const KeptForWayBack kept(run.state);
  if (RestoredEarlier(run.system, kept)) return FinishBrokenOffWayBack(run, kept);
  RestoreReport report(run.state.outcome);
  PriorStateFile prior(run.system, kept.registry_record);
  PriorStateFile written(run.system, kept.written_record);
  RegistryWayBack machine(run.system, MachineRegistration(run.state.identity, kept.program), prior,
                          written);
  UserWayBack user(run.system);
  const std::optional<FileRecord> files = LoadFileRecord(run, kept, report);
  CheckSavedSecurities(run.system, run.system, run.state, is_64_bit, report);
  // A record that is missing or cannot be trusted stops the way back before anything changes:
  // the entry and every record stay for a run that can finish it.
  if (!RegistryRecordsUsable(run, kept, machine, user, report) || !files) {
    run.steps = UninstallSteps();
    return run.ShowOutcome();
  }
  if (!UserAgrees(run)) return;

  // What a run that stopped set aside goes first: no run ends well while any is left.
  DeleteLeftAsideCopies(run.system, run.system, run.state, is_64_bit, kept.program, report);
  run.Log("== Rétablir la base de registre");
  machine.Restore(report);
  // The user who uninstalls gets their own state back at once; every other user at their next
  // sign-in, through the retired component.
  user.Restore(report);
  run.Log("== Rétablir les fichiers système");
  BoxReporter boxes(run.system);
  RestoreSystemFiles(run.system, boxes, run.state, is_64_bit, *files, report);
  run.Log("== Rétablir les dossiers programmes");
  RestoreProgramFolders(run.system, run.state, is_64_bit, *files, report);
  CompleteWayBack(run, kept, report);
  ShowWayBackOutcome(run, report);
}

}  // namespace

void RunWayBack(WindowRun& run) {
  Guarded([&] { RunWayBackSteps(run); },
          [&](const std::string& description) {
            run.Stop(description, Icon::kCritical, kWayBackTitle);
          });
}

}  // namespace movrix
