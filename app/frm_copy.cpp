#include "app/frm_copy.h"

#include <algorithm>
#include <array>

#include "common/guard.h"
#include "common/text.h"
#include "process/mod_process.h"

namespace movrix {
namespace {

// The system languages the installer accepts: English and French variants.
constexpr std::array<uint16_t, 19> kAcceptedLanguages = {
    0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809,
    0x2C09, 0x3009, 0x3409, 0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C};

constexpr const char* kMailProcess = "WinMail.exe";

// Shown in the caption when the executable's date cannot be read.
constexpr const char* kUnknownDate = "date inconnue";

// The closing lines of txtOK for each verdict; the red status line repeats the first line of a
// verdict other than success.
constexpr const char* kInstalledLines =
    "Les fichiers programmes de Windows Mail ont été correctement installés.\r\n"
    "Il vous suffit, si vous ne l'avez pas déjà fait, de lancer Quillset";
constexpr const char* kIncompleteLines =
    "L'installation de Windows Mail est incomplète.\r\n"
    "Les erreurs sont indiquées dans le journal ci-dessous.";
constexpr const char* kFailedLine = "L'installation de Windows Mail a échoué.";
constexpr const char* kUninstalledLines =
    "Windows Mail a été désinstallé.\r\n"
    "Le système a retrouvé son état d'avant l'installation.";
constexpr const char* kUninstalledAtRestartLines =
    "Windows Mail sera entièrement désinstallé au prochain redémarrage.\r\n"
    "Redémarrez l'ordinateur pour terminer le rétablissement des fichiers système.";
constexpr const char* kUninstallIncompleteLines =
    "La désinstallation de Windows Mail est incomplète.\r\n"
    "Les erreurs sont indiquées dans le journal ci-dessous.";
constexpr const char* kUserRefusedLine = "Rien n'a été modifié : la réponse a été Non.";
constexpr const char* kMailLeftRunningLine = "Rien n'a été modifié : Windows Mail est en service.";
constexpr const char* kNothingInstalledLine = "Aucune installation de Windows Mail à désinstaller.";
constexpr const char* kUninstallFailedLine = "La désinstallation de Windows Mail a échoué.";

// The ways a run ends before it changes anything, each with its own exit code and verdict.
struct EndBeforeAnyChange {
  RunEnd end;
  int exit_code;
  const char* verdict;
};
constexpr EndBeforeAnyChange kEndsBeforeAnyChange[] = {
    {RunEnd::kUserRefused, kExitUserRefused, kUserRefusedLine},
    {RunEnd::kMailLeftRunning, kExitMailRunning, kMailLeftRunningLine},
    {RunEnd::kNothingInstalled, kExitNothingInstalled, kNothingInstalledLine},
};

// The row of `end`, or null for an end that the run's failures decide.
const EndBeforeAnyChange* EndBeforeAnyChangeOf(RunEnd end) {
  for (const EndBeforeAnyChange& row : kEndsBeforeAnyChange)
    if (row.end == end) return &row;
  return nullptr;
}

// The folder of a full path, without its final backslash except for a drive root ("D:\").
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return "";
  return slash == 2 ? path.substr(0, 3) : path.substr(0, slash);
}

// The file name of a full path without its extension.
std::string BaseNameOf(const std::string& path) {
  std::string name = path.substr(path.find_last_of('\\') + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

bool IsAcceptedLanguage(uint16_t lang_id) {
  return std::find(kAcceptedLanguages.begin(), kAcceptedLanguages.end(), lang_id) !=
         kAcceptedLanguages.end();
}

void SetFolderValues(RunState& state, const SystemIdentity& identity) {
  state.Identity.program_files = identity.program_files;
  state.Identity.program_files_x86 = identity.program_files_x86;
  state.Identity.windows = identity.windows;
  state.ProgramFilesFolder = identity.program_files + "\\";
  state.ProgramFilesX86Folder = identity.program_files_x86 + "\\";
  state.System32Folder = identity.windows + "\\system32\\";
  state.SysWow64Folder = identity.windows + "\\syswow64\\";
}

std::string BuildCaption(const std::string& date_text) {
  return std::string(kProgramTitle) + " (version " + VersionText() + " du " + date_text + ")";
}

FrmCopy::FrmCopy(System& system, RunLog* log, bool silent, bool uninstall, bool close_mail)
    : system_(system), log_(log), silent_(silent), uninstall_(uninstall), close_mail_(close_mail) {
  content_.layout = &kFrmCopyLayout;
  for (size_t i = 0; i < kFrmCopyLayout.control_count; ++i)
    content_.texts.push_back(kFrmCopyLayout.controls[i].text);
}

void FrmCopy::Form_Load() {
  // The process is held from the search on: while the user answers, or closes Windows Mail
  // themselves as the question invites, its id cannot pass to another program.
  if (FoundProcess mail = FindProcess(system_, kMailProcess); mail.id > 0) {
    const Answer answer = AskToEndMail();
    // In silent mode the question takes No; the run ends for deployment tools to retry later.
    if (answer == Answer::kNo) {
      state_.Outcome.end = silent_ ? RunEnd::kMailLeftRunning : RunEnd::kUserRefused;
      return Halt();
    }
    // The run goes on regardless; the log keeps why files in use may fail later.
    if (!EndProcess(mail))
      Log(std::string(kMailProcess) + " n'a pas pu être arrêté : il est toujours en service.");
  }

  FixAppFolder();

  if (!CheckLanguage()) {
    return Stop("Movrix non compatible avec la langue de Windows ou Système corrompu",
                Icon::kCritical, "Form_Load");
  }

  std::string exe_path = system_.ExecutablePath();
  std::string date_text = kUnknownDate;
  try {
    date_text = system_.FileDateShortText(state_.AppFolder + BaseNameOf(exe_path) + ".exe");
  } catch (const SystemError&) {
    // The date only decorates the caption; the installation does not depend on it.
  }
  content_.caption = BuildCaption(date_text);

  if (!ComputeFolderValues()) return;
  if (uninstall_) return RunUninstall();
  RunInstall();
}

Answer FrmCopy::AskToEndMail() {
  if (close_mail_) {
    // Whoever gave the switch answered beforehand; deployment tools give it so that a user who
    // keeps Windows Mail open cannot hold the installation back for hours of retries.
    Log("Windows Mail est en service : il est arrêté, comme demandé par /fermer.");
    return Answer::kYes;
  }
  return system_.ShowMessage(
      "Cliquer sur OUI pour arrêter Windows Mail\r\n"
      "ou sur NON si vous désirez le fermer vous-même\r\n"
      "afin de terminer les travaux en cours.",
      "Windows Mail est en service", Buttons::kYesNo, Icon::kQuestion);
}

void FrmCopy::FixAppFolder() {
  std::string folder = FolderOf(system_.ExecutablePath());
  try {
    if (folder.size() == 3) {
      state_.AppFolder = folder;
      system_.SetCurrentDrive(folder);
    } else {
      state_.AppFolder = folder + "\\";
      system_.SetCurrentFolderOfDrive(state_.AppFolder);
    }
  } catch (const SystemError&) {
    // Every path the installer uses is absolute; the current folder is a courtesy only.
  }
}

bool FrmCopy::CheckLanguage() {
  state_.Identity.language = system_.SystemDefaultLangId();
  return IsAcceptedLanguage(state_.Identity.language);
}

bool FrmCopy::ComputeFolderValues() {
  // From the system, never the environment: the user who starts the program sets that, and these
  // folders decide where the kept copy goes that every user's sign-in runs.
  return Guarded(
      [this] {
        SetFolderValues(state_, system_.ReadIdentity());
        return true;
      },
      [this](const std::string& description) {
        Stop(description, Icon::kCritical, "Form_Load");
        return false;
      });
}

void FrmCopy::Unload() {
  loaded_ = false;
}

int ExitCodeOf(const Outcome& outcome) {
  if (const EndBeforeAnyChange* end = EndBeforeAnyChangeOf(outcome.end)) return end->exit_code;
  if (!outcome.Succeeded()) return kExitFailed;
  return outcome.at_restart.empty() ? kExitInstalled : kExitRestartNeeded;
}

int FrmCopy::ExitCode() const {
  return ExitCodeOf(state_.Outcome);
}

std::string FrmCopy::Verdict() const {
  const Outcome& outcome = state_.Outcome;
  if (const EndBeforeAnyChange* end = EndBeforeAnyChangeOf(outcome.end)) return end->verdict;
  if (uninstall_) {
    if (!outcome.Succeeded())
      return outcome.end == RunEnd::kCompleted ? kUninstallIncompleteLines : kUninstallFailedLine;
    return outcome.at_restart.empty() ? kUninstalledLines : kUninstalledAtRestartLines;
  }
  if (outcome.Succeeded()) return kInstalledLines;
  return outcome.end == RunEnd::kCompleted ? kIncompleteLines : kFailedLine;
}

void FrmCopy::Show() {
  if (loaded_) {
    // A window that cannot be made (no desktop to show it on, say) is reported, not a crash.
    Guarded([this] { system_.RunWindow(content_); },
            [this](const std::string& description) {
              system_.ShowMessage(description, kProgramTitle, Buttons::kOk, Icon::kCritical);
            });
  }
  Unload();
}

}  // namespace movrix
