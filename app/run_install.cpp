// The installation run: the checks, then renaming, copy and registration, in that order; then
// what the installation keeps for the way back, where it keeps it: its own copy of the program,
// the records of the files and of the registry, and the Programs and Features entry.
#include "app/frm_copy.h"
#include "app/run_per_user.h"
#include "common/guard.h"
#include "common/text.h"
#include "files/file_exists.h"
#include "files/file_record.h"
#include "files/launch_copy.h"
#include "files/launch_folders.h"
#include "files/restore.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"
#include "registry/write_reg.h"

namespace movrix {
namespace {

// The title of the box that asks for the system to be repaired first.
constexpr const char* kRepairNeededTitle = "MVX";

// What the installation keeps in its own folder.
constexpr const char* kProgramName = "Movrix18.exe";

}  // namespace

void FrmCopy::Stop(const std::string& message, Icon icon, const std::string& title) {
  system_.ShowMessage(message, title, Buttons::kOk, icon);
  Halt();
}

void FrmCopy::Halt() {
  LogStatus();
  Unload();
}

void FrmCopy::LogStatus() {
  Log(OutputText() + "Statut : " + Verdict());
}

std::string OutcomeLines(const Outcome& outcome) {
  std::string lines;
  for (const Failure& failure : outcome.failures) {
    lines += "ÉCHEC : " + failure.what;
    if (!failure.reason.empty()) lines += " : " + failure.reason;
    lines += kCrLf;
  }
  for (const std::string& warning : outcome.warnings) lines += "ATTENTION : " + warning + kCrLf;
  for (const std::string& path : outcome.at_restart)
    lines += "Au prochain redémarrage : " + path + kCrLf;
  return lines;
}

std::string FrmCopy::OutputText() const {
  const std::string lines = OutcomeLines(state_.Outcome);
  return steps_ + state_.Copy.CopyLog + (lines.empty() ? "" : kCrLf + lines);
}

void FrmCopy::RunInstall() {
  // The folder tests let a failure of the listing through (an unreachable drive, say); the run
  // then stops with its description rather than ending the program unannounced.
  Guarded(
      [this] { RunInstallSteps(); },
      [this](const std::string& description) { Stop(description, Icon::kCritical, "RunInstall"); });
}

void FrmCopy::RunInstallSteps() {
  if (!system_.IsNTAdmin()) {
    return Stop(kNeedsAdministrator, Icon::kCritical);
  }

  Win_Ver();
  Log("Système : " + text(kTxtSys).substr(0, text(kTxtSys).find(kCrLf)));
  if (state_.Identity.family == WindowsFamily::kOther)
    return Stop("Le système n'est ni Windows 7, ni Windows 8, ni Windows 10");

  if (!SourcesPresent()) return;

  Log("== Renommer les dossiers Windows Mail");
  steps_ += JoinLines({Repeat('=', 51), "Vérifier la présence des dossiers Windows Mail renommés.",
                       "Les renommer s'ils ne le sont pas encore", Repeat('=', 51)});
  if (!Launch_Folders(system_, state_, state_.Identity.is_64_bit)) {
    return Stop("Le système doit être réparé avant l'installation de Windows Mail",
                Icon::kInformation, kRepairNeededTitle);
  }
  steps_ += state_.ReportText + kCrLf;

  Log("== Copier les fichiers programmes");
  FileRecord files;
  if (!RecordFilesBefore(files)) return Halt();
  if (!Launch_Copy(system_, state_, state_.Identity.is_64_bit)) return Halt();
  RecordWrittenFiles(files);

  bool registers = state_.Identity.CompletedBySystemFiles();
  if (registers) {
    Log("== Compléter la base de registre");
    if (!RecordRegistryState()) return Halt();
    const bool user_state_recorded = RecordUserState();
    const bool written =
        Write_Reg(system_, state_.Identity.is_64_bit, state_.Outcome, user_state_recorded);
    // Even a registration that stopped half-way records what it wrote, for the way back.
    RecordWrittenRegistry(user_state_recorded);
    if (!written) return Halt();
    steps_ += JoinLines({Repeat('=', 57), "Compléter la base de registre", Repeat('=', 57), ""});
  }

  std::string system_line = "dans le(s) dossier(s) programmes de Windows ";
  system_line += !registers                                           ? "7"
                 : state_.Identity.family == WindowsFamily::kWindows8 ? "W8"
                                                                      : "W10";
  steps_ += JoinLines({Repeat('=', 46), "Copier les fichiers programmes de Windows Mail (de Vista)",
                       system_line, Repeat('=', 46)});

  // The program is kept for the way back and for every user's sign-in.
  if (KeepProgramCopy() && registers) RegisterForEveryUser();
  state_.Outcome.end = RunEnd::kCompleted;
  // Only a complete installation gets its way back registered; a failure there makes it
  // incomplete.
  if (state_.Outcome.Succeeded()) RegisterUninstaller();
  ShowOutcome();
}

void FrmCopy::ShowOutcome() {
  SetText(kTxtOutput, OutputText());
  const std::string verdict = Verdict();
  SetText(kTxtOK, verdict);
  // The red line under the frame says the same as txtOK whenever its own text would not be true:
  // after anything short of a complete installation, and after an uninstallation.
  if (uninstall_ || !state_.Outcome.Succeeded())
    SetText(kText1, verdict.substr(0, verdict.find(kCrLf)));
  LogStatus();
}

void FrmCopy::Win_Ver() {
  win_ver_.txtSys = text(kTxtSys);
  movrix::Win_Ver(system_, state_.Identity, win_ver_, [this] { Unload(); });
  SetText(kTxtSys, win_ver_.txtSys);
}

bool FrmCopy::SourcesPresent() {
  if (!TreesPresent()) return false;
  return state_.Identity.is_64_bit ? LibrariesPresent64() : LibrariesPresent32();
}

// True when the program tree `tree` beside the installer holds the program itself: an empty or
// partial tree would install nothing and still be taken for an installation.
bool FrmCopy::HoldsProgram(const char* tree) {
  const int64_t attributes =
      system_.PathAttributes(state_.AppFolder + tree + "\\Windows Mail\\WinMail.exe");
  return attributes >= 0 && (attributes & kAttributeDirectory) == 0;
}

// Every program tree the system needs: WM_32 on any system, WM_64 as well on a 64-bit one.
bool FrmCopy::TreesPresent() {
  const bool has_wm32 = HoldsProgram("WM_32");
  const bool has_wm64 = !state_.Identity.is_64_bit || HoldsProgram("WM_64");
  if (has_wm32 && has_wm64) return true;
  if (!has_wm32 && !has_wm64)
    Stop("Le dossiers WM_32 et WM_64 n'ont pas été installés.");
  else
    Stop(!has_wm32 ? "Le dossier WM_32 n'a pas été installé."
                   : "Le dossier WM_64 n'a pas été installé.");
  return false;
}

bool FrmCopy::LibrarySourcePresent(const char* folder) {
  try {
    RequireFileContent(system_, state_.AppFolder + folder + "\\msidcrl30.dll");
    return true;
  } catch (const SystemError& failure) {
    system_.ShowMessage(failure.what(), kProgramTitle, Buttons::kOk, Icon::kNone);
    return false;
  }
}

// On a 64-bit system both library sources. Each missing one has already shown its own box when
// the run's message comes.
bool FrmCopy::LibrariesPresent64() {
  bool has_system32 = LibrarySourcePresent("system32");
  bool has_syswow64 = LibrarySourcePresent("syswow64");
  if (!has_system32 && !has_syswow64) {
    Stop("Le dossiers system32 et system64 n'ont pas été installés.");
    return false;
  }
  if (!has_system32 || !has_syswow64) {
    Stop(!has_system32 ? "Le dossier system32 n'a pas été installé."
                       : "Le dossier syswow64 n'a pas été installé.");
    return false;
  }
  return true;
}

// On a 32-bit system only the one library source is needed.
bool FrmCopy::LibrariesPresent32() {
  if (LibrarySourcePresent("syswow64")) return true;
  Stop("Le dossier syswow64 n'a pas été installé.");
  return false;
}

std::string FrmCopy::OwnFolder() const {
  return OwnFolderOf(state_);
}

std::string FrmCopy::KeptProgram() const {
  return OwnFolder() + kProgramName;
}

std::string FrmCopy::RegistryRecordPath() const {
  return OwnFolder() + kRegistryRecordName;
}

std::string FrmCopy::FileRecordPath() const {
  return OwnFolder() + kFileRecordName;
}

bool FrmCopy::RecordFilesBefore(FileRecord& files) {
  return Guarded(
      [&] {
        if (!FolderExists(system_, OwnFolder())) system_.CreateFolder(OwnFolder());
        std::optional<FileRecord> kept = ReadFileRecord(system_, FileRecordPath());
        if (!kept) throw SystemError("Enregistrement endommagé : " + FileRecordPath());
        files = *kept;
        if (state_.Identity.CompletedBySystemFiles())
          NoteSystemFilesBefore(system_, state_, state_.Identity.is_64_bit, files);
        state_.AddedSystemFiles = files.absent;
        state_.AddedSystemFiles.insert(files.empty.begin(), files.empty.end());
        WriteFileRecord(system_, FileRecordPath(), files);
        return true;
      },
      [this](const std::string& description) {
        system_.ShowMessage(description, "Enregistrer les fichiers installés", Buttons::kOk,
                            Icon::kCritical);
        return false;
      });
}

void FrmCopy::RecordWrittenFiles(FileRecord& files) {
  try {
    NoteWrittenFiles(system_, state_, state_.Identity.is_64_bit, files);
    WriteFileRecord(system_, FileRecordPath(), files);
  } catch (const SystemError& failure) {
    state_.Outcome.Fail("enregistrement des fichiers installés non écrit : " + FileRecordPath(),
                        failure.what());
  }
}

std::string FrmCopy::WrittenRecordPath() const {
  return OwnFolder() + kWrittenRecordName;
}

bool FrmCopy::RecordRegistryState() {
  return Guarded(
      [this] {
        if (!FolderExists(system_, OwnFolder())) system_.CreateFolder(OwnFolder());
        PriorStateFile record(system_, RegistryRecordPath());
        RecordPriorState(system_, MachineRegistration(state_.Identity.is_64_bit), record);
        return true;
      },
      [this](const std::string& description) {
        system_.ShowMessage(description, "Enregistrer l'état du registre", Buttons::kOk,
                            Icon::kCritical);
        return false;
      });
}

void FrmCopy::RecordWrittenRegistry(bool user_rows) {
  Guarded(
      [this] {
        PriorStateFile record(system_, WrittenRecordPath());
        RecordWrittenState(system_, MachineRegistration(state_.Identity.is_64_bit), record);
      },
      [this](const std::string& description) {
        state_.Outcome.Fail("valeurs écrites non enregistrées : " + WrittenRecordPath(),
                            description);
      });
  if (user_rows) RecordUserWrittenState(system_, state_.Outcome);
}

bool FrmCopy::KeepProgramCopy() {
  const std::string running = system_.ExecutablePath();
  return Guarded(
      [&] {
        if (!FolderExists(system_, OwnFolder())) system_.CreateFolder(OwnFolder());
        if (!EqualsIgnoringCase(running, KeptProgram()))
          system_.CopyFileOver(running, KeptProgram());
        return true;
      },
      [&](const std::string& description) {
        state_.Outcome.Fail("programme non gardé pour la désinstallation : " + KeptProgram(),
                            description);
        return false;
      });
}

void FrmCopy::RegisterUninstaller() {
  Guarded(
      [&] {
        int64_t bytes = system_.FileLength(KeptProgram());
        bytes += TreeSize(system_, state_.ProgramFilesFolder + kMailFolder);
        if (state_.Identity.is_64_bit)
          bytes += TreeSize(system_, state_.ProgramFilesX86Folder + kMailFolder);
        const std::string failure =
            WriteUninstallEntry(system_, KeptProgram(), OwnFolder(), uint32_t(bytes / 1024 + 1));
        if (!failure.empty()) state_.Outcome.Fail(failure, "");
      },
      [&](const std::string& description) {
        state_.Outcome.Fail("entrée de Programmes et fonctionnalités non écrite", description);
      });
}

}  // namespace movrix
