#include "app/run_end.h"

#include "common/text.h"

namespace movrix {
namespace {

// The closing lines of txtOK for each verdict; the red status line repeats the first line of a
// verdict other than success.
constexpr const char* kInstalledLines =
    "Les fichiers programmes de Windows Mail ont été correctement installés.\r\n"
    "Il vous suffit, si vous ne l'avez pas déjà fait, de lancer Quillset";
constexpr const char* kIncompleteLines =
    "L'installation de Windows Mail est incomplète.\r\n"
    "Les erreurs sont indiquées dans le journal ci-dessous.";
constexpr const char* kFailedLine = "L'installation de Windows Mail a échoué.";
constexpr const char* kUninstalledLines =
    "Windows Mail a été désinstallé.\r\n"
    "Le système a retrouvé son état d'avant l'installation.";
constexpr const char* kUninstalledAtRestartLines =
    "Windows Mail sera entièrement désinstallé au prochain redémarrage.\r\n"
    "Redémarrez l'ordinateur pour terminer le rétablissement des fichiers système.";
constexpr const char* kUninstallIncompleteLines =
    "La désinstallation de Windows Mail est incomplète.\r\n"
    "Les erreurs sont indiquées dans le journal ci-dessous.";
constexpr const char* kUserRefusedLine = "Rien n'a été modifié : la réponse a été Non.";
constexpr const char* kMailLeftRunningLine = "Rien n'a été modifié : Windows Mail est en service.";
constexpr const char* kNothingInstalledLine = "Aucune installation de Windows Mail à désinstaller.";
constexpr const char* kUninstallFailedLine = "La désinstallation de Windows Mail a échoué.";

// The ways a run ends before it changes anything, each with its own exit code and verdict.
struct EndBeforeAnyChange {
  RunEnd end;
  int exit_code;
  const char* verdict;
};
constexpr EndBeforeAnyChange kEndsBeforeAnyChange[] = {
    {RunEnd::kUserRefused, kExitUserRefused, kUserRefusedLine},
    {RunEnd::kMailLeftRunning, kExitMailRunning, kMailLeftRunningLine},
    {RunEnd::kNothingInstalled, kExitNothingInstalled, kNothingInstalledLine},
};

// The row of `end`, or null for an end that the run's failures decide.
const EndBeforeAnyChange* EndBeforeAnyChangeOf(RunEnd end) {
  for (const EndBeforeAnyChange& row : kEndsBeforeAnyChange)
    if (row.end == end) return &row;
  return nullptr;
}

// The verdict of a way back that left files as someone else's: never that the system is back as
// it was, and, on its first line (the red status line), which files stayed.
std::string PartlyUninstalledLines(const std::vector<std::string>& left) {
  std::string files;
  for (const std::string& file : left) files += (files.empty() ? "" : ", ") + file;
  return "Windows Mail a été désinstallé, sauf des fichiers changés depuis l'installation, "
         "laissés tels quels : " +
         files +
         ".\r\nLeur sauvegarde .orlo et l'entrée de désinstallation restent ; voir le journal.";
}

}  // namespace

int ExitCodeOf(const Outcome& outcome) {
  if (const EndBeforeAnyChange* end = EndBeforeAnyChangeOf(outcome.end)) return end->exit_code;
  if (!outcome.Succeeded()) return kExitFailed;
  return outcome.at_restart.empty() ? kExitInstalled : kExitRestartNeeded;
}

std::string VerdictOf(const Outcome& outcome, bool uninstall) {
  if (const EndBeforeAnyChange* end = EndBeforeAnyChangeOf(outcome.end)) return end->verdict;
  if (uninstall) {
    if (!outcome.Succeeded())
      return outcome.end == RunEnd::kCompleted ? kUninstallIncompleteLines : kUninstallFailedLine;
    if (!outcome.left_as_found.empty()) return PartlyUninstalledLines(outcome.left_as_found);
    return outcome.at_restart.empty() ? kUninstalledLines : kUninstalledAtRestartLines;
  }
  if (outcome.Succeeded()) return kInstalledLines;
  return outcome.end == RunEnd::kCompleted ? kIncompleteLines : kFailedLine;
}

std::string OutcomeLines(const Outcome& outcome) {
  std::string lines;
  for (const Failure& failure : outcome.failures) {
    lines += "ÉCHEC : " + failure.what;
    if (!failure.reason.empty()) lines += " : " + failure.reason;
    lines += kCrLf;
  }
  for (const std::string& warning : outcome.warnings) lines += "ATTENTION : " + warning + kCrLf;
  for (const std::string& path : outcome.at_restart)
    lines += "Au prochain redémarrage : " + path + kCrLf;
  return lines;
}

}  // namespace movrix
