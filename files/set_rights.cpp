// The rights step: the Administrators group takes a path over before it is written.
#include "files/set_rights.h"

#include "common/box_titles.h"

namespace movrix {
namespace {

// The built-in Administrators group by its well-known identifier, which every system language
// knows; its localised name ("administrateurs") exists on French systems only.
constexpr const char* kAdministratorsFullControl = " /grant *S-1-5-32-544:F";
constexpr uint32_t kCommandWaitMilliseconds = 30000;

// Starts one of the system's own native commands by its full path: no interpreter that could
// read the path as commands, no search that could find a planted copy first, and never the 32-bit
// copy, which would see the 32-bit system folder under the name of the native one. The window
// breathes once afterwards, since a command that is not awaited may run for a while. An awaited
// command that outlives its wait is left running; the file may then be written before its rights
// are in place, which the log must tell. One that ended with a failure leaves the rights as they
// were: its file is not to be written.
void StartSystemCommand(Processes& programs, MessagePump& window, Outcome& outcome,
                        const char* program, const std::string& arguments, bool await) {
  const std::optional<uint32_t> exit_code =
      programs.StartProgram(programs.NativeSystemFolder() + "\\" + program, arguments,
                            await ? kCommandWaitMilliseconds : 0);
  window.ProcessPendingMessages();
  const std::string command = std::string(program) + " " + arguments;
  if (!await) return;
  if (!exit_code) {
    outcome.warnings.push_back(command + " tournait encore après " +
                               std::to_string(kCommandWaitMilliseconds / 1000) + " s d'attente");
  } else if (*exit_code != 0) {
    throw SystemError(command + " a échoué (code de sortie " + std::to_string(*exit_code) + ")",
                      *exit_code);
  }
}

}  // namespace

void SetRights(Processes& programs, MessagePump& window, Outcome& outcome, const std::string& path,
               bool await) {
  const std::string quoted = "\"" + path + "\"";
  StartSystemCommand(programs, window, outcome, "takeown.exe", "/a /f " + quoted, await);
  StartSystemCommand(programs, window, outcome, "icacls.exe", quoted + kAdministratorsFullControl,
                     await);
}

bool AwaitRightsOrReport(Processes& programs, MessagePump& window, Reporter& boxes,
                         Outcome& outcome, const std::string& path) {
  try {
    SetRights(programs, window, outcome, path, true);
    return true;
  } catch (const SystemError& failure) {
    ReportRightsFailure(boxes, outcome, path, failure.what());
    return false;
  }
}

void ReportRightsFailure(Reporter& boxes, Outcome& outcome, const std::string& path,
                         const std::string& description) {
  boxes.Report(kRightsTitle, description, Icon::kNone);
  outcome.Fail(path + " n'a pas été écrit, faute de droits", description);
}

}  // namespace movrix
