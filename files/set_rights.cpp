// The rights step: the Administrators group takes a path over before it is written.
#include "common/guard.h"
#include "files/mod_file_mngr.h"

namespace movrix {
namespace {

// The built-in Administrators group by its well-known identifier, which every system language
// knows; its localised name ("administrateurs") exists on French systems only.
constexpr const char* kAdministratorsFullControl = " /grant *S-1-5-32-544:F";

// Starts `command` through the command interpreter and lets the window breathe once, since the
// command is not awaited.
void StartThroughInterpreter(System& system, const std::string& command) {
  system.StartCommand(system.GetEnv("comspec") + " /c " + command);
  system.ProcessPendingMessages();
}

}  // namespace

bool SetRights(System& system, const std::string& path) {
  const std::string quoted = "\"" + path + "\"";
  return Guarded(
      [&] {
        StartThroughInterpreter(system, "takeown /a /f " + quoted);
        StartThroughInterpreter(system, "icacls " + quoted + kAdministratorsFullControl);
        return true;
      },
      [&](const std::string& description) {
        system.ShowMessage(description, "SetRights", Buttons::kOk, Icon::kNone);
        return false;
      });
}

}  // namespace movrix
