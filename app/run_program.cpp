#include "app/run_program.h"

#include "app/frm_copy.h"
#include "app/logged_system.h"
#include "app/switches.h"

namespace movrix {
namespace {

std::string LogPath(System& system, const Switches& switches) {
  if (!switches.log_path.empty() || !switches.silent) return switches.log_path;
  return system.GetEnv("TEMP") + "\\Movrix18.log";
}

std::string Version() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + ".0." +
         std::to_string(kVersionRevision);
}

}  // namespace

int RunProgram(System& system, const std::vector<std::string>& arguments) {
  const Switches switches = ParseSwitches(arguments);
  RunLog log(system, LogPath(system, switches));
  log.Line("Début : " + system.LocalTimeText() + ", " + kProgramTitle + " version " + Version());
  LoggedSystem logged(system, log, switches.silent);
  int code = kExitBadSwitch;
  if (!switches.unknown.empty()) {
    logged.ShowMessage(
        "Option inconnue : " + switches.unknown + ". Options acceptées : " + kAcceptedSwitches,
        kProgramTitle, Buttons::kOk, Icon::kCritical);
  } else {
    FrmCopy form(logged, &log, switches.silent, switches.uninstall);
    form.Form_Load();
    form.Show();
    code = form.ExitCode();
  }
  log.Line("Fin : " + system.LocalTimeText() + ", code de sortie " + std::to_string(code));
  return code;
}

}  // namespace movrix
