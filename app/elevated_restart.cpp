// The uninstallation started without administrator rights, which starts itself again with them,
// and the log of the run so restarted, in a folder only administrators write.
#include "app/elevated_restart.h"

#include "app/installation.h"
#include "app/run_end.h"
#include "app/start_up.h"
#include "app/switches.h"
#include "common/guard.h"
#include "common/text.h"
#include "files/file_exists.h"

namespace movrix {

int Refuse(System& system, RunLog& log, const std::string& message, int exit_code) {
  system.ShowMessage(message, kProgramTitle, Buttons::kOk, Icon::kCritical);
  log.Line("Statut : Rien n'a été modifié.");
  return exit_code;
}

namespace {

// Where a run restarted with administrator rights logs: a folder only administrators write, that
// the user who started it can read, the kept program's; without it, the system's own Temp folder.
// Never a path of the run that asked for the rights, which anyone could have chosen.
std::string RestartLogFolder(System& system) {
  RunState state;
  SetFolderValues(state, system.ReadIdentity());
  const KeptForWayBack kept(state);
  if (FolderExists(system, kept.folder)) return kept.folder;
  return state.identity.windows + "\\Temp\\";
}

// What the name of the log of a restarted run holds, that the run waiting for it looks for.
std::string RestartLogLabel(const std::string& marker) {
  return "relance-" + marker + "-";
}

// A new log of its own for a run restarted with the rights, whose name nobody chose.
}  // namespace

std::string OpenRestartLog(System& system, const std::string& marker, RunLog& log) {
  return Guarded(
      [&] { return log.OpenNew(system, RestartLogFolder(system), RestartLogLabel(marker)); },
      [](const std::string& why) { return "Le journal ne peut pas être créé : " + why; });
}

namespace {

// `argument` quoted so that the started program reads it back whole, by the rules of the command
// line's parsing: backslashes are doubled only where a quote follows them.
std::string Quoted(const std::string& argument) {
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

// The arguments of this run for the run restarted with the rights: the log's path gives way to
// the marker by which this run finds the new run's log.
std::string RestartSwitches(const std::vector<std::string>& arguments, const std::string& marker) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (ParseSwitches({argument}).log_path.empty()) line += Quoted(argument) + " ";
  }
  return line + Quoted("/relance=" + marker);
}

// The lines of a log's `text`, without its byte-order mark.
std::vector<std::string> LogLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  for (size_t end = text.find(kCrLf, start); end != std::string::npos;
       start = end + 2, end = text.find(kCrLf, start))
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// Copies into this run's log, read with this run's rights, the log of the run it restarted with
// the rights, found by its marker in the folder only administrators write.
void CopyRestartLog(System& system, RunLog& log, const std::string& marker) {
  const std::string what = "Journal de la désinstallation avec les droits d'administrateur";
  Guarded(
      [&] {
        const std::string folder = RestartLogFolder(system);
        FindData found;
        if (!system.FindFirst(folder + "Movrix18-" + RestartLogLabel(marker) + "*.log", found))
          return log.Line(what + " : introuvable dans " + folder);
        log.Line(what + " : " + folder + found.name);
        for (const std::string& line : LogLines(system.ReadWholeFile(folder + found.name)))
          log.Line("| " + line);
      },
      [&](const std::string& why) { log.Line(what + " illisible : " + why); });
}

}  // namespace

// An uninstallation started without administrator rights, as Programs and Features starts it.
// Interactively it starts itself again with the rights, the system asking the user, and ends as
// that run ends. Silently nobody can be asked, and nothing changes.
int UninstallWithoutRights(System& system, RunLog& log, const std::vector<std::string>& arguments,
                           bool silent) {
  if (silent)
    return Refuse(system, log,
                  "La désinstallation demande les droits d'administrateur.\r\n"
                  "La lancer en tant qu'administrateur ou en tant que SYSTEM.",
                  kExitFailed);
  const std::string program = system.ExecutablePath();
  const std::string marker = HexOf(system.RandomBytes(8));
  const std::string switches = RestartSwitches(arguments, marker);
  log.Line("Désinstallation relancée avec les droits d'administrateur : " + program + " " +
           switches);
  std::optional<uint32_t> exit_code;
  try {
    exit_code = system.RunElevated(program, switches);
  } catch (const SystemError& error) {
    return Refuse(system, log,
                  "La désinstallation n'a pas pu être relancée avec les droits "
                  "d'administrateur :\r\n" +
                      std::string(error.what()),
                  kExitFailed);
  }
  if (!exit_code) {
    log.Line("Statut : Rien n'a été modifié : les droits d'administrateur ont été refusés.");
    return kExitUserRefused;
  }
  CopyRestartLog(system, log, marker);
  return int(*exit_code);
}

}  // namespace movrix
