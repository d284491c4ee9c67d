// The installation. Its steps follow in the order the run takes them: the sources, the renaming,
// the copy, the registration, then what it keeps for the way back (its own copy of the program,
// the Active Setup component and the Programs and Features entry; the records are taken by the
// phase whose changes they describe). RunInstallation, at the end, puts them together.
#include "app/installation.h"

#include <set>

#include "app/box_reporter.h"
#include "common/box_titles.h"
#include "common/guard.h"
#include "common/text.h"
#include "files/copy_program_files.h"
#include "files/file_exists.h"
#include "files/file_record.h"
#include "files/rename_mail_folders.h"
#include "files/restore.h"
#include "registry/active_setup.h"
#include "registry/event_source.h"
#include "registry/key_io.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"
#include "registry/user_state.h"
#include "registry/write_registration.h"

namespace movrix {
namespace {

// The title of the box that asks for the system to be repaired first.
constexpr const char* kRepairNeededTitle = "MVX";

// ---- The sources -------------------------------------------------------------------------------

// True when the program tree `tree` beside the installer holds the program itself: an empty or
// partial tree would install nothing and still be taken for an installation.
bool HoldsProgram(WindowRun& run, const char* tree) {
  const int64_t attributes =
      run.system.PathAttributes(run.state.app_folder + tree + "\\Windows Mail\\WinMail.exe");
  return attributes >= 0 && (attributes & kAttributeDirectory) == 0;
}

// True when both sources of a pair are there; otherwise stops the run with the message that
// names what is missing: both, only the first, or only the second.
bool BothPresent(WindowRun& run, bool first, bool second, const char* neither, const char* no_first,
                 const char* no_second) {
  if (first && second) return true;
  run.Stop(!first && !second ? neither : !first ? no_first : no_second);
  return false;
}

// Every program tree the system needs: WM_32 on any system, WM_64 as well on a 64-bit one.
bool TreesPresent(WindowRun& run) {
  return BothPresent(
      run, HoldsProgram(run, "WM_32"), !run.state.identity.is_64_bit || HoldsProgram(run, "WM_64"),
      "Le dossiers WM_32 et WM_64 n'ont pas été installés.",
      "Le dossier WM_32 n'a pas été installé.", "Le dossier WM_64 n'a pas été installé.");
}

// True when the library source below `folder` of the installer's folder holds something; false
// after a box saying why not.
bool LibrarySourcePresent(WindowRun& run, const char* folder) {
  try {
    RequireFileContent(run.system, run.state.app_folder + folder + "\\msidcrl30.dll");
    return true;
  } catch (const SystemError& failure) {
    run.system.ShowMessage(failure.what(), kProgramTitle, Buttons::kOk, Icon::kNone);
    return false;
  }
}

// On a 64-bit system both library sources. Each missing one has already shown its own box when
// the run's message comes.
bool LibrariesPresent64(WindowRun& run) {
  const bool has_system32 = LibrarySourcePresent(run, "system32");
  const bool has_syswow64 = LibrarySourcePresent(run, "syswow64");
  return BothPresent(
      run, has_system32, has_syswow64, "Le dossiers system32 et system64 n'ont pas été installés.",
      "Le dossier system32 n'a pas été installé.", "Le dossier syswow64 n'a pas été installé.");
}

// On a 32-bit system only the one library source is needed.
bool LibrariesPresent32(WindowRun& run) {
  if (LibrarySourcePresent(run, "syswow64")) return true;
  run.Stop("Le dossier syswow64 n'a pas été installé.");
  return false;
}

bool SourcesPresent(WindowRun& run) {
  if (!TreesPresent(run)) return false;
  return run.state.identity.is_64_bit ? LibrariesPresent64(run) : LibrariesPresent32(run);
}

// ---- The renaming ------------------------------------------------------------------------------

bool RenameMailFolders(WindowRun& run) {
  run.Log("== Renommer les dossiers Windows Mail");
  run.steps +=
      JoinLines({Repeat('=', 51), "Vérifier la présence des dossiers Windows Mail renommés.",
                 "Les renommer s'ils ne le sont pas encore", Repeat('=', 51)});
  const FolderRenaming renaming =
      RenameMailFolders(run.system, run.state, run.state.identity.is_64_bit);
  if (renaming.stop) {
    ShowStop(run.system, kRenamingTitle, *renaming.stop, Icon::kCritical);
    run.Stop("Le système doit être réparé avant l'installation de Windows Mail", Icon::kInformation,
             kRepairNeededTitle);
    return false;
  }
  run.steps += renaming.report + kCrLf;
  return true;
}

// ---- The copy ----------------------------------------------------------------------------------

// Makes the own folder, or clears the note of an earlier way back from it: this installation is
// one that the next way back must undo whole.
void MakeOwnFolder(System& system, const KeptForWayBack& kept) {
  if (!FolderExists(system, kept.folder)) system.CreateFolder(kept.folder);
  if (PathExists(system, kept.progress_record)) system.RemoveFile(kept.progress_record);
}

// Before the copy: reads the record of an earlier installation, notes which system files are
// missing or empty now and keeps it; false after its box, with nothing changed.
bool RecordFilesBefore(WindowRun& run, const KeptForWayBack& kept, FileRecord& files) {
  RunState& state = run.state;
  return Guarded(
      [&] {
        MakeOwnFolder(run.system, kept);
        std::optional<FileRecord> earlier =
            ReadFileRecord(run.system, kept.file_record, state, state.identity.is_64_bit);
        if (!earlier) throw DataError("Enregistrement endommagé : " + kept.file_record);
        files = *earlier;
        if (state.identity.CompletedBySystemFiles())
          NoteSystemFilesBefore(run.system, run.system, state, state.identity.is_64_bit, files);
        WriteFileRecord(run.system, kept.file_record, files);
        return true;
      },
      [&](const std::string& description) {
        run.system.ShowMessage(description, kFileRecordTitle, Buttons::kOk, Icon::kCritical);
        return false;
      });
}

// After the copy, the installed files; a failure goes to the outcome.
void RecordWrittenFiles(WindowRun& run, const KeptForWayBack& kept, FileRecord& files) {
  try {
    NoteWrittenFiles(run.system, run.system, run.state, run.state.identity.is_64_bit, files);
    WriteFileRecord(run.system, kept.file_record, files);
  } catch (const SystemError& failure) {
    run.state.outcome.Fail("enregistrement des fichiers installés non écrit : " + kept.file_record,
                           failure.what());
  }
}

// False when the run stopped: the copy phase or the record has told why.
bool CopyProgramFiles(WindowRun& run, const KeptForWayBack& kept) {
  run.Log("== Copier les fichiers programmes");
  FileRecord files;
  if (!RecordFilesBefore(run, kept, files)) return false;
  // What an earlier installation added where nothing was, or only an empty file, has no original.
  std::set<std::string> added = files.absent;
  added.insert(files.empty.begin(), files.empty.end());
  BoxReporter boxes(run.system);
  ProgramFileCopy copy =
      CopyProgramFiles(run.system, run.state, boxes, run.state.identity.is_64_bit, added);
  run.copy_log = std::move(copy.log);
  if (copy.stop) {
    ShowStop(run.system, kCopyTitle, *copy.stop, Icon::kCritical);
    return false;
  }
  RecordWrittenFiles(run, kept, files);
  return true;
}

// ---- The registration --------------------------------------------------------------------------

// Takes the registry's prior state once, and what the registration will write, before it writes;
// false after its box.
bool RecordRegistryState(WindowRun& run, const KeptForWayBack& kept) {
  return Guarded(
      [&] {
        MakeOwnFolder(run.system, kept);
        const std::vector<RegistrationEntry> entries =
            MachineRegistration(run.state.identity, kept.program);
        PriorStateFile record(run.system, kept.registry_record);
        RecordPriorState(run.system, entries, record);
        PriorStateFile written(run.system, kept.written_record);
        RecordStateToWrite(run.system, entries, written);
        return true;
      },
      [&](const std::string& description) {
        run.system.ShowMessage(description, kRegistryRecordTitle, Buttons::kOk, Icon::kCritical);
        return false;
      });
}

// After the registration, records what it wrote on the machine and, with `user_rows`, in the
// installing user's hive; a failure goes to the outcome.
void RecordWrittenRegistry(WindowRun& run, const KeptForWayBack& kept, bool user_rows) {
  Guarded(
      [&] {
        PriorStateFile record(run.system, kept.written_record);
        RecordWrittenState(run.system, MachineRegistration(run.state.identity, kept.program),
                           record);
      },
      [&](const std::string& description) {
        run.state.outcome.Fail("valeurs écrites non enregistrées : " + kept.written_record,
                               description);
      });
  if (user_rows) RecordUserWrittenState(run.system, run.state.outcome);
}

// Where the system registers, the registration; on every system, then, the event source of the
// kept program. False after the box of the write that stopped.
bool WriteRegistration(WindowRun& run, const KeptForWayBack& kept, bool registers,
                       bool user_state_recorded) {
  BoxReporter boxes(run.system);
  std::optional<Stop> stop;
  if (registers)
    stop = WriteRegistration(run.system, boxes, run.state.identity.is_64_bit, run.state.outcome,
                             user_state_recorded);
  if (!stop)
    stop = WriteRegistrationRows(run.system, boxes, EventSourceRegistration(kept.program),
                                 run.state.outcome);
  if (stop) ShowStop(run.system, kRegistrationTitle, *stop, Icon::kNone);
  return !stop;
}

// The registration and the records around it. False when the run stopped: the registration or
// the record has told why.
bool CompleteRegistry(WindowRun& run, const KeptForWayBack& kept) {
  run.Log("== Compléter la base de registre");
  if (!RecordRegistryState(run, kept)) return false;
  const bool registers = run.state.identity.CompletedBySystemFiles();
  // The installing user's prior state is recorded before the registration writes their rows;
  // without it, their rows are not written.
  const bool user_state_recorded = registers && RecordUserPriorState(run.system, run.state.outcome);
  const bool written = WriteRegistration(run, kept, registers, user_state_recorded);
  // Even a registration that stopped half-way records what it wrote, for the way back.
  RecordWrittenRegistry(run, kept, user_state_recorded);
  if (!written) return false;
  if (registers)
    run.steps += JoinLines({Repeat('=', 57), "Compléter la base de registre", Repeat('=', 57), ""});
  return true;
}

// The steps' last lines, which name the system the copy was for.
void AppendCopySteps(WindowRun& run) {
  const SystemIdentity& identity = run.state.identity;
  std::string system_line = "dans le(s) dossier(s) programmes de Windows ";
  system_line += !identity.CompletedBySystemFiles()            ? "7"
                 : identity.family == WindowsFamily::kWindows8 ? "W8"
                                                               : "W10";
  run.steps +=
      JoinLines({Repeat('=', 46), "Copier les fichiers programmes de Windows Mail (de Vista)",
                 system_line, Repeat('=', 46)});
}

// ---- What the installation keeps for the way back ----------------------------------------------

// Copies over the kept program once it is set aside: the system lets a running program be
// renamed, never written over. The aside copy goes, at the next restart while it still runs.
void ReplaceRunningKeptProgram(WindowRun& run, const std::string& running,
                               const std::string& kept) {
  const std::string aside = MoveAside(run.system, kept);
  try {
    run.system.CopyFileOver(running, kept);
  } catch (const SystemError&) {
    run.system.Rename(aside, kept);
    throw;
  }
  if (!DeleteAsideNowOrAtRestart(run.system, aside))
    run.Log("Ancienne copie du programme en service, supprimée au prochain redémarrage : " + aside);
}

// Puts the running program in the own folder, over the copy an earlier installation kept, which
// may be running itself (a check from a detection script, a user's sign-in part). The copy does
// not keep the read-only attribute of a setup copied from a CD, which would refuse the next one.
void CopyToKeptProgram(WindowRun& run, const std::string& running, const std::string& kept) {
  ClearReadOnly(run.system, kept);
  try {
    run.system.CopyFileOver(running, kept);
  } catch (const SystemError& failure) {
    if (failure.code() != kErrorSharingViolation) throw;
    ReplaceRunningKeptProgram(run, running, kept);
  }
  ClearReadOnly(run.system, kept);
}

// Copies the running program to the own folder; false, the failure in the outcome, when it
// cannot.
bool KeepProgramCopy(WindowRun& run, const KeptForWayBack& kept) {
  const std::string running = run.system.ExecutablePath();
  return Guarded(
      [&] {
        MakeOwnFolder(run.system, kept);
        if (!EqualsIgnoringCase(running, kept.program))
          CopyToKeptProgram(run, running, kept.program);
        return true;
      },
      [&](const std::string& description) {
        run.state.outcome.Fail("programme non gardé pour la désinstallation : " + kept.program,
                               description);
        return false;
      });
}

// The component that gives every other user the rows at their next sign-in, from the kept
// program; a failure goes to the outcome.
void RegisterForEveryUser(WindowRun& run, const KeptForWayBack& kept) {
  run.Log("== Inscrire Windows Mail pour chaque utilisateur");
  Guarded([&] { WriteActiveSetupComponent(run.system, kept.program); },
          [&](const std::string& description) {
            run.state.outcome.Fail("composant non écrit", description);
          });
}

// The Programs and Features entry for the kept program; a failure goes to the outcome.
void RegisterUninstaller(WindowRun& run, const KeptForWayBack& kept) {
  const RunState& state = run.state;
  Guarded(
      [&] {
        int64_t bytes = run.system.FileLength(kept.program);
        bytes += TreeSize(run.system, state.program_files_folder + kMailFolder);
        if (state.identity.is_64_bit)
          bytes += TreeSize(run.system, state.program_files_x86_folder + kMailFolder);
        WriteUninstallEntry(run.system, kept.program, kept.folder, uint32_t(bytes / 1024 + 1));
      },
      [&](const std::string& description) {
        run.state.outcome.Fail("entrée de Programmes et fonctionnalités non écrite", description);
      });
}

void RunInstallSteps(WindowRun& run) {
  if (!RightsAndSystemAccepted(run) || !SourcesPresent(run)) return;
  const KeptForWayBack kept(run.state);
  // What a way back that stopped set aside goes first: no run ends well while any is left.
  RestoreReport leftovers(run.state.outcome);
  DeleteLeftAsideCopies(run.system, run.system, run.state, run.state.identity.is_64_bit,
                        kept.program, leftovers);
  if (!RenameMailFolders(run)) return;
  if (!CopyProgramFiles(run, kept)) return run.Halt();
  if (!CompleteRegistry(run, kept)) return run.Halt();
  AppendCopySteps(run);
  // The program is kept for the way back, for every user's sign-in and for the event viewer.
  if (KeepProgramCopy(run, kept) && run.state.identity.CompletedBySystemFiles())
    RegisterForEveryUser(run, kept);
  run.state.outcome.end = RunEnd::kCompleted;
  // Only a complete installation gets its way back registered; a failure there makes it
  // incomplete.
  if (run.state.outcome.Succeeded()) RegisterUninstaller(run, kept);
  run.ShowOutcome();
}

}  // namespace

KeptForWayBack::KeptForWayBack(const RunState& state)
    : folder(state.program_files_folder + kProgramTitle + "\\"),
      program(folder + "Movrix18.exe"),
      registry_record(folder + "registre-origine.txt"),
      written_record(folder + "registre-installe.txt"),
      file_record(folder + "fichiers-installes.txt"),
      progress_record(folder + "desinstallation.txt") {}

bool MachineInstallationFound(System& system, const RunState& state) {
  const KeptForWayBack kept(state);
  for (const std::string& record :
       {kept.registry_record, kept.file_record, kept.written_record, kept.progress_record})
    if (PathExists(system, record)) return true;
  const bool is_64_bit = state.identity.is_64_bit;
  return HasFolderBackups(system, state, is_64_bit) ||
         HasSystemFileBackups(system, system, state, is_64_bit) ||
         KeyExists(system, kLocalMachine, kUninstallKey) || ActiveSetupComponentInstalls(system);
}

void RunInstallation(WindowRun& run) {
  // The folder tests let a failure of the listing through (an unreachable drive, say); the run
  // then stops with its description rather than ending the program unannounced.
  Guarded([&] { RunInstallSteps(run); },
          [&](const std::string& description) {
            run.Stop(description, Icon::kCritical, kInstallationTitle);
          });
}

}  // namespace movrix
