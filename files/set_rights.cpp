// The rights step: the Administrators group takes a path over before it is written.
#include "files/set_rights.h"

namespace movrix {
namespace {

// The built-in Administrators group by its well-known identifier, which every system language
// knows; its localised name ("administrateurs") exists on French systems only.
constexpr const char* kAdministratorsFullControl = " /grant *S-1-5-32-544:F";
constexpr uint32_t kCommandWaitMilliseconds = 30000;

// Starts one of the system's own commands by its full path: no interpreter that could read the
// path as commands, and no search that could find a planted copy first. The window breathes once
// afterwards, since a command that is not awaited may run for a while. An awaited command that
// outlives its wait is left running; the file may then be written before its rights are in place,
// which the log must tell.
void StartSystemCommand(System& system, Outcome& outcome, const char* program,
                        const std::string& arguments, bool await) {
  if (!system.StartProgram(system.SystemFolder() + "\\" + program, arguments,
                           await ? kCommandWaitMilliseconds : 0)) {
    outcome.warnings.push_back(std::string(program) + " " + arguments + " tournait encore après " +
                               std::to_string(kCommandWaitMilliseconds / 1000) + " s d'attente");
  }
  system.ProcessPendingMessages();
}

}  // namespace

void SetRights(System& system, Outcome& outcome, const std::string& path, bool await) {
  const std::string quoted = "\"" + path + "\"";
  StartSystemCommand(system, outcome, "takeown.exe", "/a /f " + quoted, await);
  StartSystemCommand(system, outcome, "icacls.exe", quoted + kAdministratorsFullControl, await);
}

void ReportRightsFailure(System& system, Outcome& outcome, const std::string& path,
                         const std::string& description) {
  system.ShowMessage(description, "SetRights", Buttons::kOk, Icon::kNone);
  outcome.Fail(path + " n'a pas été écrit, faute de droits", description);
}

}  // namespace movrix
