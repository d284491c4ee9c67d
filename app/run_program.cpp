#include "app/run_program.h"

#include <exception>

#include "app/elevated_restart.h"
#include "app/logged_system.h"
#include "app/per_user.h"
#include "app/run_end.h"
#include "app/run_event.h"
#include "app/run_verify.h"
#include "app/start_up.h"
#include "app/switches.h"
#include "common/guard.h"
#include "common/version.h"
#include "files/file_exists.h"

namespace movrix {
namespace {

// The lock one run holds from its start to its end, in every session of the machine: in the
// private namespace only administrators can open, or, where the system makes none, under the
// global name, which any user can take first.
constexpr const char* kAdministratorsLockName = "Movrix18";
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
        if (!PathExists(system, folder)) system.CreateFolder(folder);
        log.OpenKeepingRuns(system, folder + "\\utilisateur.log", kUserLogRuns);
      },
      [](const std::string&) {});
}

// Opens the log the switches ask for. Runs first of all, while the current folder is still the
// one the program was started in, from which a relative path is meant. Returns why the log
// cannot be used; empty when it is open or none is wanted. A silent installation without a path
// logs to a new file in %TEMP%; a user's own part to its own file in the user's profile; a check
// only to the path given.
std::string OpenLog(System& system, const Switches& switches, bool silent, RunLog& log) {
  if (!switches.restart_marker.empty()) return OpenRestartLog(system, switches.restart_marker, log);
  if (!switches.log_path.empty()) return log.Open(system, switches.log_path);
  // A check changes nothing, not even a file of its own: tools run it again and again.
  if (switches.verify) return "";
  if (switches.per_user) {
    OpenUserLog(system, log);
    return "";
  }
  if (silent) return log.OpenNew(system, system.GetEnv("TEMP") + "\\");
  return "";
}

// Takes the lock that keeps other runs out; null when another run holds it. Access denied to
// the namespace or the mutex means that another account made them and holds them. Only a system
// that makes no private namespace at all leaves the lock to the global name.
std::unique_ptr<HeldLock> TakeInstanceLock(System& system, RunLog& log) {
  try {
    return system.TakeAdministratorsLock(kAdministratorsLockName);
  } catch (const SystemError& error) {
    if (error.code() == uint32_t(kErrorAccessDenied)) return nullptr;
    if (error.code() != kErrorNotSupported) throw;
    log.Line("Le verrou réservé aux administrateurs n'a pas pu être pris (" +
             std::string(error.what()) + ") : le verrou " + kInstanceLockName + " le remplace.");
    return system.TakeNamedLock(kInstanceLockName);
  }
}

// The run once its log is open: the switches are checked, the lock taken and the window loaded.
int RunSteps(System& system, RunLog& log, const std::vector<std::string>& arguments,
             const Switches& switches, bool silent) {
  const std::string refusal = SwitchesRefusal(switches);
  if (!refusal.empty()) return Refuse(system, log, refusal, kExitBadSwitch);
  // A check only reads, with the rights of whoever asks: nothing for a lock to keep apart.
  if (switches.verify) return RunVerify(system, log, switches.per_user);
  // A user's own part touches only that user's hive: the sign-ins of several users may run it at
  // the same time, and an installation under way does not keep it out.
  if (switches.per_user) return RunPerUser(system, log, switches.uninstall);
  // Only administrators reach the lock. An installation without the rights still loads the
  // window, whose own rights test stops it before it changes anything.
  const bool administrator = system.AdministratorsInToken() == AdministratorsGroup::kEnabled;
  // A restarted run that still lacks the rights asks no more: the window's rights test stops it.
  if (!administrator && switches.uninstall && switches.restart_marker.empty())
    return UninstallWithoutRights(system, log, arguments, silent);
  // Held until the run ends, so that no other run renames, copies or backs up at the same time.
  std::unique_ptr<HeldLock> lock;
  if (administrator) {
    try {
      lock = TakeInstanceLock(system, log);
    } catch (const SystemError& error) {
      return Refuse(system, log,
                    "Le verrou qui empêche deux exécutions simultanées n'a pas pu être pris :\r\n" +
                        std::string(error.what()),
                    kExitFailed);
    }
    if (!lock)
      return Refuse(system, log,
                    std::string(kProgramTitle) +
                        " est déjà en cours d'exécution sur cet ordinateur.\r\n"
                        "Attendre la fin de l'installation en cours avant de le relancer.",
                    kExitAnotherRun);
  }
  WindowRun run(system, &log, {silent, switches.uninstall, switches.close_mail});
  StartUp(run);
  run.form.Show(system);
  return run.ExitCode();
}

// The guard of the whole run: a fault of the program itself, which no phase can answer, ends the
// run with a box and a line of the log instead of the system's crash report, and as a failure.
int GuardedRunSteps(System& system, RunLog& log, const std::vector<std::string>& arguments,
                    const Switches& switches, bool silent) {
  try {
    return RunSteps(system, log, arguments, switches, silent);
  } catch (const std::exception& fault) {
    system.ShowMessage(std::string("Erreur interne : ") + fault.what(), kProgramTitle, Buttons::kOk,
                       Icon::kCritical);
    log.Line("Statut : Arrêt sur une erreur interne.");
    return kExitFailed;
  }
}

}  // namespace

int RunProgram(System& system, const std::vector<std::string>& arguments) {
  const Switches switches = ParseSwitches(arguments);
  // Where nobody can see a window or answer a box (session 0, whose window station may still say
  // it is visible, or an invisible window station), nobody is asked; the part that runs at each
  // user's sign-in and the check that detection runs never ask either.
  const bool silent = switches.silent || switches.per_user || switches.verify ||
                      system.InServicesSession() || !system.WindowStationVisible();
  RunLog log;
  const std::string log_refusal = OpenLog(system, switches, silent, log);
  LoggedSystem logged(system, log, silent);
  if (!log_refusal.empty())
    return Refuse(logged, log, log_refusal + "\r\nL'installation n'a pas été lancée.",
                  kExitLogFailed);
  log.Line(kRunStartLine + system.LocalTimeText() + ", " + kProgramTitle + " version " +
           VersionText());
  const int code = GuardedRunSteps(logged, log, arguments, switches, silent);
  // A switch refused leaves nothing done or checked to report.
  if (SwitchesRefusal(switches).empty()) ReportRunEnd(system, log, switches, code);
  log.Line("Fin : " + system.LocalTimeText() + ", code de sortie " + std::to_string(code));
  return code;
}

}  // namespace movrix
