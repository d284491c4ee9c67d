// The way back: the uninstallation run, and what the installation keeps for it (its own copy of
// the program, the registry's prior state, the Programs and Features entry). It undoes the phases
// in the reverse order of the installation: registration, system files, program folders.
#include "app/frm_copy.h"
#include "common/guard.h"
#include "common/text.h"
#include "files/launch_folders.h"
#include "files/mod_file_mngr.h"
#include "files/restore.h"
#include "registry/prior_state.h"
#include "registry/uninstall_entry.h"

namespace movrix {
namespace {

constexpr const char* kProgramName = "Movrix18.exe";
constexpr const char* kRegistryRecordName = "registre-origine.txt";

constexpr const char* kUninstallQuestion =
    "Désinstaller Windows Mail ?\r\n"
    "\r\n"
    "Les dossiers programmes, les fichiers système et la base de registre\r\n"
    "retrouveront leur état d'avant la première installation.";
constexpr const char* kNothingInstalled =
    "Aucune installation de Windows Mail par Movrix18 n'a été trouvée.\r\n"
    "Rien n'a été modifié.";

// The verdict of a run, for txtOK, and its one-line form for the red status line.
struct Verdict {
  std::string closing_lines;
  std::string status_line;
};

Verdict VerdictOf(const RestoreReport& report) {
  if (report.Failed()) {
    return {std::string("La désinstallation de Windows Mail est incomplète.") + kCrLf +
                "Les erreurs sont indiquées dans le journal ci-dessous.",
            "Désinstallation incomplète - des éléments n'ont pas pu être rétablis"};
  }
  if (!report.scheduled.empty()) {
    return {std::string("Windows Mail a été désinstallé.") + kCrLf +
                "Redémarrez l'ordinateur pour terminer le rétablissement des fichiers système.",
            "Désinstallation effectuée - redémarrage nécessaire"};
  }
  return {std::string("Windows Mail a été désinstallé.") + kCrLf +
              "Le système a retrouvé son état d'avant l'installation.",
          "Toutes les opérations ont été effectuées avec succès - Windows Mail est désinstallé"};
}

std::string OutputOf(const RestoreReport& report) {
  std::string text = Repeat('=', 46) + kCrLf + "Désinstaller Windows Mail" + kCrLf +
                     "Rétablir l'état d'avant la première installation" + kCrLf + Repeat('=', 46) +
                     kCrLf;
  for (const std::string& line : report.done) text += line + kCrLf;
  for (const std::string& line : report.failures) text += "ÉCHEC : " + line + kCrLf;
  for (const std::string& path : report.scheduled)
    text += "Au prochain redémarrage : " + path + kCrLf;
  return text;
}

}  // namespace

std::string FrmCopy::OwnFolder() const {
  return state_.ProgramFilesFolder + kProgramTitle + "\\";
}

std::string FrmCopy::RegistryRecordPath() const {
  return OwnFolder() + kRegistryRecordName;
}

bool FrmCopy::RecordRegistryState() {
  return Guarded(
      [this] {
        if (!FolderExists(system_, OwnFolder())) system_.CreateFolder(OwnFolder());
        RecordPriorState(system_, RegistrationEntries(identity_.Is64Bit), RegistryRecordPath());
        return true;
      },
      [this](const std::string& description) {
        system_.ShowMessage(description, "Enregistrer l'état du registre", Buttons::kOk,
                            Icon::kCritical);
        return false;
      });
}

std::string FrmCopy::RegisterUninstaller() {
  const std::string program = OwnFolder() + kProgramName;
  return Guarded(
      [&] {
        if (!FolderExists(system_, OwnFolder())) system_.CreateFolder(OwnFolder());
        const std::string running = system_.ExecutablePath();
        if (!EqualsIgnoringCase(running, program)) system_.CopyFileOver(running, program);
        int64_t bytes = system_.FileLength(program);
        bytes += TreeSize(system_, state_.ProgramFilesFolder + kMailFolder);
        if (identity_.Is64Bit)
          bytes += TreeSize(system_, state_.ProgramFilesX86Folder + kMailFolder);
        return WriteUninstallEntry(system_, program, OwnFolder(), uint32_t(bytes / 1024 + 1));
      },
      [&](const std::string& description) {
        return "programme de désinstallation non copié : " + program + " : " + description;
      });
}

void FrmCopy::RunUninstall() {
  Guarded([this] { RunUninstallSteps(); },
          [this](const std::string& description) {
            Stop(description, Icon::kCritical, "RunUninstall");
          });
}

bool FrmCopy::SomethingInstalled() {
  return HasFolderBackups(system_, state_, identity_.Is64Bit) ||
         HasSystemFileBackups(system_, state_, identity_.Is64Bit) ||
         FolderExists(system_, OwnFolder()) || UninstallEntryExists(system_);
}

void FrmCopy::RunUninstallSteps() {
  if (!system_.IsNTAdmin()) return Stop(kNeedsAdministrator, Icon::kCritical);
  Win_Ver();
  Log("Système : " + text(kTxtSys).substr(0, text(kTxtSys).find(kCrLf)));
  if (!identity_.IsWindows7 && !state_.IsWindows8 && !state_.IsWindows10)
    return Stop("Le système n'est ni Windows 7, ni Windows 8, ni Windows 10");
  if (!SomethingInstalled()) {
    exit_code_ = kExitNothingInstalled;
    return Stop(kNothingInstalled, Icon::kInformation);
  }
  if (!silent_ && system_.ShowMessage(kUninstallQuestion, "Désinstaller Windows Mail",
                                      Buttons::kYesNo, Icon::kQuestion) != Answer::kYes) {
    exit_code_ = kExitUserRefused;
    return Unload();
  }

  RestoreReport report;
  Log("== Rétablir la base de registre");
  if (system_.PathAttributes(RegistryRecordPath()) >= 0) {
    Guarded([&] { RestorePriorState(system_, RegistryRecordPath(), report); },
            [&](const std::string& description) {
              report.Fail("état du registre non lu", RegistryRecordPath(), description);
            });
  }
  Log("== Rétablir les fichiers système");
  RestoreSystemFiles(system_, state_, identity_.Is64Bit, report);
  Log("== Rétablir les dossiers programmes");
  RestoreProgramFolders(system_, state_, identity_.Is64Bit, report);
  // What the installer kept for the way back goes last, and only once nothing is left to retry.
  if (!report.Failed()) RemoveOwnTraces(report);
  ShowRestoreOutcome(report);
}

void FrmCopy::RemoveOwnTraces(RestoreReport& report) {
  RemoveUninstallEntry(system_, report);
  const std::string folder = OwnFolder();
  const std::string program = folder + kProgramName;
  const bool running_from_folder = EqualsIgnoringCase(system_.ExecutablePath(), program);
  try {
    // The running program cannot delete itself: the system does so at the next restart.
    if (running_from_folder) {
      system_.MoveAtRestart(program, "");
      if (system_.PathAttributes(RegistryRecordPath()) >= 0)
        system_.RemoveFile(RegistryRecordPath());
      system_.MoveAtRestart(folder.substr(0, folder.size() - 1), "");
      report.Done("Dossier supprimé au prochain redémarrage : " + folder);
    } else {
      RemoveTree(system_, folder.substr(0, folder.size() - 1));
      report.Done("Dossier supprimé : " + folder);
    }
  } catch (const SystemError& failure) {
    report.Fail("dossier non supprimé", folder, failure.what());
  }
}

void FrmCopy::ShowRestoreOutcome(const RestoreReport& report) {
  const Verdict verdict = VerdictOf(report);
  SetText(kTxtOutput, OutputOf(report));
  SetText(kTxtOK, verdict.closing_lines);
  SetText(kText1, verdict.status_line);
  if (report.Failed())
    exit_code_ = kExitFailed;
  else if (!report.scheduled.empty())
    exit_code_ = kExitRestartNeeded;
  completed_ = true;
  Log(text(kTxtOutput) + "Statut : " + text(kTxtOK));
}

}  // namespace movrix
