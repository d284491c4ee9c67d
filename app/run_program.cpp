#include "app/run_program.h"

#include "app/frm_copy.h"
#include "app/logged_system.h"
#include "app/run_per_user.h"
#include "app/switches.h"
#include "common/guard.h"

namespace movrix {
namespace {

// The lock one run holds from its start to its end, in every session of the machine.
constexpr const char* kInstanceLockName = "Global\\Movrix18";

// How many runs the log of a user's own part keeps: enough to see what the last sign-ins did.
constexpr int kUserLogRuns = 5;

// The log of a user's own part when no path is given, in the own profile of the account the
// process runs as, which only that account and the administrators write. Active Setup runs that
// part before the user's desktop, with no time-out: a log that cannot be opened is done without,
// and the user still gets the rows.
void OpenUserLog(System& system, RunLog& log) {
  Guarded(
      [&] {
        const std::string folder = system.OwnLocalAppDataFolder() + "\\" + kProgramTitle;
        if (system.PathAttributes(folder) < 0) system.CreateFolder(folder);
        log.OpenKeepingRuns(system, folder + "\\utilisateur.log", kUserLogRuns);
      },
      [](const std::string&) {});
}

// Opens the log the switches ask for. Runs first of all, while the current folder is still the
// one the program was started in, from which a relative path is meant. Returns why the log
// cannot be used; empty when it is open or none is wanted. A silent installation without a path
// logs to a new file in %TEMP%; a user's own part to its own file in the user's profile.
std::string OpenLog(System& system, const Switches& switches, bool silent, RunLog& log) {
  if (!switches.log_path.empty()) return log.Open(system, switches.log_path);
  if (switches.per_user) {
    OpenUserLog(system, log);
    return "";
  }
  if (silent) return log.OpenNew(system, system.GetEnv("TEMP") + "\\");
  return "";
}

// Stops the start with a box (in silent mode, a line of the log), logs that nothing changed and
// hands back `exit_code`.
int Refuse(System& system, RunLog& log, const std::string& message, int exit_code) {
  system.ShowMessage(message, kProgramTitle, Buttons::kOk, Icon::kCritical);
  log.Line("Statut : Rien n'a été modifié.");
  return exit_code;
}

// The run once its log is open: the switches are checked, the lock taken and the window loaded.
int RunSteps(System& system, RunLog& log, const Switches& switches, bool silent) {
  const std::string refusal = SwitchesRefusal(switches);
  if (!refusal.empty()) return Refuse(system, log, refusal, kExitBadSwitch);
  // A user's own part touches only that user's hive: the sign-ins of several users may run it at
  // the same time, and an installation under way does not keep it out.
  if (switches.per_user) return RunPerUser(system, log, switches.uninstall);
  // Held until the run ends, so that no other run renames, copies or backs up at the same time.
  const std::unique_ptr<HeldLock> lock = system.TakeNamedLock(kInstanceLockName);
  if (!lock)
    return Refuse(system, log,
                  std::string(kProgramTitle) +
                      " est déjà en cours d'exécution sur cet ordinateur.\r\n"
                      "Attendre la fin de l'installation en cours avant de le relancer.",
                  kExitAnotherRun);
  FrmCopy form(system, &log, silent, switches.uninstall, switches.close_mail);
  form.Form_Load();
  form.Show();
  return form.ExitCode();
}

}  // namespace

int RunProgram(System& system, const std::vector<std::string>& arguments) {
  const Switches switches = ParseSwitches(arguments);
  // Where nobody can see a window or answer a box (a service's session), nobody is asked; the
  // part that runs at each user's sign-in never asks either.
  const bool silent = switches.silent || switches.per_user || !system.WindowStationVisible();
  RunLog log;
  const std::string log_refusal = OpenLog(system, switches, silent, log);
  LoggedSystem logged(system, log, silent);
  if (!log_refusal.empty())
    return Refuse(logged, log, log_refusal + "\r\nL'installation n'a pas été lancée.",
                  kExitLogFailed);
  log.Line(kRunStartLine + system.LocalTimeText() + ", " + kProgramTitle + " version " +
           VersionText());
  const int code = RunSteps(logged, log, switches, silent);
  log.Line("Fin : " + system.LocalTimeText() + ", code de sortie " + std::to_string(code));
  return code;
}

}  // namespace movrix
