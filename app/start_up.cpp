// Start-up reads top to bottom in the order it acts; the installation and the way back each
// follow in a file of their own.
#include "app/start_up.h"

#include <algorithm>
#include <array>

#include "app/installation.h"
#include "app/way_back.h"
#include "common/box_titles.h"
#include "common/guard.h"
#include "common/version.h"
#include "process/running_program.h"

namespace movrix {
namespace {

// The system languages the installer accepts: English and French variants.
constexpr std::array<uint16_t, 19> kAcceptedLanguages = {
    0x0409, 0x0809, 0x0C09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809,
    0x2C09, 0x3009, 0x3409, 0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C};

constexpr const char* kMailProcess = "WinMail.exe";

// Shown in the caption when the executable's date cannot be read.
constexpr const char* kUnknownDate = "date inconnue";

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

// Whether a running Windows Mail may be ended: the question, or the answer its switch gave.
Answer AskToEndMail(WindowRun& run) {
  if (run.options.close_mail) {
    // Whoever gave the switch answered beforehand; deployment tools give it so that a user who
    // keeps Windows Mail open cannot hold the installation back for hours of retries.
    run.Log("Windows Mail est en service : il est arrêté, comme demandé par /fermer.");
    return Answer::kYes;
  }
  return run.system.ShowMessage(
      "Cliquer sur OUI pour arrêter Windows Mail\r\n"
      "ou sur NON si vous désirez le fermer vous-même\r\n"
      "afin de terminer les travaux en cours.",
      "Windows Mail est en service", Buttons::kYesNo, Icon::kQuestion);
}

// What the log keeps of one Windows Mail's end: why files in use may fail later, and which were
// ended without closing as their user would.
void LogMailEnding(WindowRun& run, const FoundProcess& mail, Ending ending) {
  const std::string named =
      std::string(kMailProcess) + " (processus " + std::to_string(mail.id) + ")";
  if (ending == Ending::kStillRunning)
    run.Log(std::string(kMailProcess) + " n'a pas pu être arrêté : il est toujours en service.");
  else if (ending == Ending::kTerminated && mail.other_session)
    run.Log(named + " a été arrêté sans demande de fermeture : il est dans une autre session.");
  else if (ending == Ending::kTerminated)
    run.Log(named + " a été arrêté de force : il ne s'est pas fermé dans les 5 s suivant la " +
            "demande de fermeture.");
}

// False when Windows Mail runs and is to be left alone: the run has then ended.
bool MailEndedOrNotRunning(WindowRun& run) {
  // The processes are held from the search on: while the user answers, or closes Windows Mail
  // themselves as the question invites, their ids cannot pass to another program.
  const std::vector<FoundProcess> mails = FindProcesses(run.system, kMailProcess);
  if (mails.empty()) return true;
  if (AskToEndMail(run) == Answer::kNo) {
    // In silent mode the question takes No; the run ends for deployment tools to retry later.
    run.state.outcome.end = run.options.silent ? RunEnd::kMailLeftRunning : RunEnd::kUserRefused;
    run.Halt();
    return false;
  }
  // The run goes on regardless of how each ended.
  for (const FoundProcess& mail : mails) LogMailEnding(run, mail, EndProcess(mail));
  return true;
}

void FixAppFolder(WindowRun& run) {
  const std::string folder = FolderOf(run.system.ExecutablePath());
  try {
    if (folder.size() == 3) {
      run.state.app_folder = folder;
      run.system.SetCurrentDrive(folder);
    } else {
      run.state.app_folder = folder + "\\";
      run.system.SetCurrentFolderOfDrive(run.state.app_folder);
    }
  } catch (const SystemError&) {
    // Every path the installer uses is absolute; the current folder is a courtesy only.
  }
}

// True when the system default language is accepted.
bool CheckLanguage(WindowRun& run) {
  run.state.identity.language = run.system.SystemDefaultLangId();
  return IsAcceptedLanguage(run.state.identity.language);
}

void ShowCaption(WindowRun& run) {
  std::string date_text = kUnknownDate;
  try {
    date_text = run.system.FileDateShortText(run.state.app_folder +
                                             BaseNameOf(run.system.ExecutablePath()) + ".exe");
  } catch (const SystemError&) {
    // The date only decorates the caption; the installation does not depend on it.
  }
  run.form.SetCaption(BuildCaption(date_text));
}

// The folder values, from what the system says of itself; false after its box when it cannot
// tell.
bool ComputeFolderValues(WindowRun& run) {
  // From the system, never the environment: the user who starts the program sets that, and these
  // folders decide where the kept copy goes that every user's sign-in runs.
  return Guarded(
      [&] {
        SetFolderValues(run.state, run.system.ReadIdentity());
        return true;
      },
      [&](const std::string& description) {
        run.Stop(description, Icon::kCritical, kStartUpTitle);
        return false;
      });
}

}  // namespace

bool IsAcceptedLanguage(uint16_t lang_id) {
  return std::find(kAcceptedLanguages.begin(), kAcceptedLanguages.end(), lang_id) !=
         kAcceptedLanguages.end();
}

std::string BuildCaption(const std::string& date_text) {
  return std::string(kProgramTitle) + " (version " + VersionText() + " du " + date_text + ")";
}

void SetFolderValues(RunState& state, const SystemIdentity& identity) {
  state.identity.program_files = identity.program_files;
  state.identity.program_files_x86 = identity.program_files_x86;
  state.identity.windows = identity.windows;
  state.program_files_folder = identity.program_files + "\\";
  state.program_files_x86_folder = identity.program_files_x86 + "\\";
  state.system32_folder = identity.windows + "\\system32\\";
  state.syswow64_folder = identity.windows + "\\syswow64\\";
}

void StartUp(WindowRun& run) {
  if (!MailEndedOrNotRunning(run)) return;
  FixAppFolder(run);
  if (!CheckLanguage(run)) {
    return run.Stop("Movrix non compatible avec la langue de Windows ou Système corrompu",
                    Icon::kCritical, kStartUpTitle);
  }
  ShowCaption(run);
  if (!ComputeFolderValues(run)) return;
  if (run.options.uninstall)
    RunWayBack(run);
  else
    RunInstallation(run);
}

}  // namespace movrix
