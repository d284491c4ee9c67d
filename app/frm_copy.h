// The installer's only window, frmCopy: its start-up does the whole installation before the window
// is first shown. The window is kept here as a model (caption, texts, whether it is still to be
// shown); the system renders it once start-up has finished.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/frm_copy_layout.h"
#include "app/run_log.h"
#include "app/win_ver.h"
#include "common/restore_report.h"
#include "common/run_state.h"
#include "common/text.h"
#include "common/version.h"
#include "files/file_record.h"
#include "platform/system.h"

namespace movrix {

// Exit codes, those of Windows Installer, which every deployment tool knows.
inline constexpr int kExitInstalled = 0;
inline constexpr int kExitFailed = 1603;       // a stop, or a step that failed
inline constexpr int kExitUserRefused = 1602;  // No to ending Windows Mail
inline constexpr int kExitMailRunning = 1618;  // Windows Mail running, left alone in silent mode
inline constexpr int kExitBadSwitch = 87;
inline constexpr int kExitRestartNeeded = 3010;     // restored; a restart completes it
inline constexpr int kExitNothingInstalled = 1605;  // no installation to remove
inline constexpr int kExitLogFailed = 1622;         // the log cannot be opened or is refused
inline constexpr int kExitAnotherRun = 1618;        // another run of the installer is under way
inline constexpr int kExitNotIntact = 1;            // /verifier: something differs from the install

// The exit code of a run that came to `outcome`.
int ExitCodeOf(const Outcome& outcome);
// One line, ending in CR LF, for each failure, warning and file completed at the next restart of
// `outcome`: what the output box and the log show of them.
std::string OutcomeLines(const Outcome& outcome);

// The box of a run without administrator rights.
inline constexpr const char* kNeedsAdministrator =
    "Movrix doit être lancé en mode Administrateur. Il va être fermé. !\r\n"
    "\r\n"
    "Pour le relancer, cliquer-droite sur Movrix et choisir\r\n"
    "l'option 'Exécuter en tant qu'administrateur'.";

// True when `lang_id` is one of the English and French system languages the installer accepts.
bool IsAcceptedLanguage(uint16_t lang_id);

// The window's caption, with the executable's date: "Movrix18 (version 2.18.0.1 du <date>)".
std::string BuildCaption(const std::string& date_text);

// The folder values of a run, from what the system says of itself.
void SetFolderValues(RunState& state, const SystemIdentity& identity);

// The installer's own folder in the native Program Files of `state`, ending in a backslash, which
// only administrators can write to: the kept copy of the program and the records of what was there
// before the first installation and of what the installation wrote.
std::string OwnFolderOf(const RunState& state);
inline constexpr const char* kRegistryRecordName = "registre-origine.txt";
inline constexpr const char* kWrittenRecordName = "registre-installe.txt";
inline constexpr const char* kFileRecordName = "fichiers-installes.txt";

// True when the machine holds a trace of an installation: a backup of a "Windows Mail" folder or
// of a system file, a record in the own folder, the Programs and Features entry, or an Active
// Setup component that still installs.
bool MachineInstallationFound(System& system, const RunState& state, bool is_64_bit);

class RegistryWayBack;
class UserWayBack;

class FrmCopy {
 public:
  // `log` receives the run's steps and results; in `silent` mode a running Windows Mail is left
  // alone and ends the run, unless `close_mail` ends it as the answer Yes would, in either mode.
  // With `uninstall`, the run puts the machine back instead.
  explicit FrmCopy(System& system, RunLog* log = nullptr, bool silent = false,
                   bool uninstall = false, bool close_mail = false);

  // The load handler: the Windows Mail guard, the program folder, the language check, the
  // caption, the folder values, the closing lines, then the installation. Closes the window on
  // every stop.
  void Form_Load();
  // True when the system default language is accepted.
  bool CheckLanguage();

  // The installation: rights, system, sources, then the three phases; at their end fills
  // txtOutput and the status lines from the run's outcome. Closes the window on every stop; the
  // log then keeps the output so far and the status.
  void RunInstall();
  // Identifies the system: the flags and txtSys.
  void Win_Ver();
  // The uninstallation: rights, system, a look for an installation, one question unless silent,
  // then the registry, the system files and the program folders back as they were before the
  // first installation; the steps in txtOutput and the verdict in the status lines.
  void RunUninstall();

  // Shows the window, when start-up left it loaded, until the user closes it.
  void Show();
  // What the run came to, as an exit code.
  int ExitCode() const;
  // What the run came to, as txtOK says it: installed, incomplete or failed.
  std::string Verdict() const;

  const std::string& caption() const { return content_.caption; }
  const std::string& text(FrmCopyControl control) const { return content_.texts[control]; }
  const RunState& state() const { return state_; }

 private:
  // Marks the window closed: Show() then shows nothing.
  void Unload();
  void RunInstallSteps();
  void Log(const std::string& text) {
    if (log_) log_->Line(text);
  }
  void SetText(FrmCopyControl control, std::string text) {
    content_.texts[control] = std::move(text);
  }
  // Whether a running Windows Mail may be ended: the question, or the answer its switch gave.
  Answer AskToEndMail();
  void FixAppFolder();
  // The folder values, from what the system says of itself; false after its box when it cannot
  // tell.
  bool ComputeFolderValues();
  bool SourcesPresent();
  bool HoldsProgram(const char* tree);
  bool TreesPresent();
  // True when the library source below `folder` of the installer's folder holds something;
  // false after a box saying why not.
  bool LibrarySourcePresent(const char* folder);
  bool LibrariesPresent64();
  bool LibrariesPresent32();
  // The text of txtOutput as far as the run got: the steps, the copy log, then every failure and
  // warning of the outcome, one line each.
  std::string OutputText() const;
  void Stop(const std::string& message, Icon icon = Icon::kNone,
            const std::string& title = kProgramTitle);
  // Ends a stopped run: the log receives the output so far and the status, the window closes.
  void Halt();
  // Logs the output as far as the run got, then its status line.
  void LogStatus();
  // Ends a run that went through: txtOutput, txtOK and the red status line from the outcome, then
  // the log's status.
  void ShowOutcome();
  // The per-user part (run_per_user.cpp): the installing user's prior state recorded before the
  // registration writes their rows, then the Active Setup component that makes every other user
  // get the rows at their next sign-in. Failures go to the outcome; false when the user's state
  // could not be recorded.
  bool RecordUserState();
  void RegisterForEveryUser();
  // The installer's own folder in the native Program Files, ending in a backslash: the kept copy
  // of the program (for the way back and for every user's sign-in) and the registry's prior
  // state. Only administrators write there.
  std::string OwnFolder() const;
  std::string KeptProgram() const;
  std::string RegistryRecordPath() const;
  // The record of what the installation wrote as files, beside the registry's.
  std::string FileRecordPath() const;
  // Before the copy: reads the record of an earlier installation, notes which system files are
  // missing or empty now and keeps it; false after its box, with nothing changed. The installed
  // files are noted after the copy; a failure there goes to the outcome.
  bool RecordFilesBefore(FileRecord& files);
  void RecordWrittenFiles(FileRecord& files);
  // The record of what the installation wrote as files; nullopt, named in `report`, when it cannot
  // be read or is not whole. An older build's installation has none: an empty record.
  std::optional<FileRecord> LoadFileRecord(RestoreReport& report);
  // Copies the running program to KeptProgram(); false, the failure in the outcome, when it
  // cannot.
  bool KeepProgramCopy();
  // Takes the registry's prior state once, before the registration; false after its box.
  bool RecordRegistryState();
  // After the registration, records what it wrote on the machine and, with `user_rows`, in the
  // installing user's hive; a failure goes to the outcome.
  void RecordWrittenRegistry(bool user_rows);
  std::string WrittenRecordPath() const;
  // Reads and checks the registry records of the machine and the current user before anything
  // changes; false, each refusal in `report`, when the way back must not start.
  bool RegistryRecordsUsable(RegistryWayBack& machine, UserWayBack& user, RestoreReport& report);
  // Writes the Programs and Features entry for the kept program; a failure goes to the outcome.
  void RegisterUninstaller();
  void RunUninstallSteps();
  bool SomethingInstalled();
  // Removes what the installation kept for the way back: the own folder, or, when users got the
  // rows at their sign-in, retires their component and keeps the program it runs; then, once
  // nothing failed, the entry.
  void RemoveOwnTraces(RestoreReport& report);
  void RetireForEveryUser(RestoreReport& report);
  // Removes the installer's own folder, or, when the running program is the one kept there, has
  // the system remove it at the next restart.
  void RemoveOwnFolder(RestoreReport& report);
  // Deletes the records (registry and files) that are still there; a failure is named in
  // `report`.
  void RemoveRecords(RestoreReport& report);

  System& system_;
  RunLog* log_;
  bool silent_;
  bool uninstall_;
  bool close_mail_;
  RunState state_;
  // The steps text of the output box, which grows as the phases pass.
  std::string steps_;
  FormContent content_;
  bool loaded_ = true;
  // What the system identification shows: ProcessorBits and txtSys.
  WinVerResult win_ver_;
};

}  // namespace movrix
