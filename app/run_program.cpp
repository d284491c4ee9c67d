#include "app/run_program.h"

#include "app/frm_copy.h"
#include "app/logged_system.h"
#include "app/run_per_user.h"
#include "app/switches.h"

namespace movrix {
namespace {

// A silent installation logs to %TEMP% unless told where; a user's own part only when told.
std::string LogPath(System& system, const Switches& switches, bool silent) {
  if (!switches.log_path.empty() || !silent || switches.per_user) return switches.log_path;
  return system.GetEnv("TEMP") + "\\Movrix18.log";
}

std::string Version() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + ".0." +
         std::to_string(kVersionRevision);
}

}  // namespace

int RunProgram(System& system, const std::vector<std::string>& arguments) {
  const Switches switches = ParseSwitches(arguments);
  // Where nobody can see a window or answer a box (a service's session), nobody is asked; the
  // part that runs at each user's sign-in never asks either.
  const bool silent = switches.silent || switches.per_user || !system.WindowStationVisible();
  RunLog log(system, LogPath(system, switches, silent));
  log.Line("Début : " + system.LocalTimeText() + ", " + kProgramTitle + " version " + Version());
  LoggedSystem logged(system, log, silent);
  int code = kExitBadSwitch;
  if (!switches.unknown.empty()) {
    logged.ShowMessage(
        "Option inconnue : " + switches.unknown + ". Options acceptées : " + kAcceptedSwitches,
        kProgramTitle, Buttons::kOk, Icon::kCritical);
  } else if (switches.per_user) {
    code = RunPerUser(logged, log, switches.uninstall);
  } else {
    FrmCopy form(logged, &log, silent);
    form.Form_Load();
    form.Show();
    code = form.ExitCode();
  }
  log.Line("Fin : " + system.LocalTimeText() + ", code de sortie " + std::to_string(code));
  return code;
}

}  // namespace movrix
