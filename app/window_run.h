// One run of the window, from its load to its end: what the start-up, the installation and the way
// back share. The run owns the state it hands down to the phases and the window it fills; its
// outcome is the one record from which the window's status lines, the log and the exit code
// follow.
#pragma once

#include <string>

#include "app/main_window.h"
#include "app/run_log.h"
#include "common/run_state.h"
#include "common/text.h"
#include "platform/system.h"

namespace movrix {

// How the run was asked to go.
struct RunOptions {
  // Nobody is there to answer: a running Windows Mail is left alone and ends the run.
  bool silent = false;
  // The way back instead of the installation.
  bool uninstall = false;
  // A running Windows Mail is ended as the answer Yes would, in either mode.
  bool close_mail = false;
};

// The box of a run without administrator rights.
inline constexpr const char* kNeedsAdministrator =
    "Movrix doit être lancé en mode Administrateur. Il va être fermé. !\r\n"
    "\r\n"
    "Pour le relancer, cliquer-droite sur Movrix et choisir\r\n"
    "l'option 'Exécuter en tant qu'administrateur'.";
// The log's line when the rights are there but UAC filtered them out.
inline constexpr const char* kRightsFiltered =
    "Le groupe Administrateurs n'est actif que pour refuser l'accès : le programme a été lancé "
    "sans « Exécuter en tant qu'administrateur ».";

class WindowRun {
 public:
  // `log` receives the run's steps and results.
  WindowRun(System& system, RunLog* log, RunOptions options)
      : system(system), options(options), log_(log) {}

  void Log(const std::string& text) {
    if (log_) log_->Line(text);
  }
  // The full path of the run's log; empty when it has none.
  std::string LogPath() const { return log_ ? log_->path() : ""; }
  // Stops the run with a box, then Halt().
  void Stop(const std::string& message, Icon icon = Icon::kNone,
            const std::string& title = kProgramTitle);
  // Ends a stopped run: the log receives the output so far and the status, the window closes.
  void Halt();
  // Ends a run that went through: the window shows its output and verdict, the log its status.
  void ShowOutcome();

  // What the run came to, as an exit code.
  int ExitCode() const;
  // What the run came to, as txtOK says it.
  std::string Verdict() const;

  System& system;
  const RunOptions options;
  RunState state;
  MainWindow form;
  // The steps text of the output box, which grows as the phases pass.
  std::string steps;
  // The copy's log as far as it got, which the output box shows after the steps.
  std::string copy_log;

 private:
  // The text of txtOutput as far as the run got: the steps, the copy log, then every failure and
  // warning of the outcome, one line each.
  std::string OutputText() const;
  // Logs the output as far as the run got, then its status line.
  void LogStatus();

  RunLog* log_;
};

// The checks the installation and the way back both begin with: administrator rights, then a
// system they know, identified into txtSys. False after the box that stopped the run.
bool RightsAndSystemAccepted(WindowRun& run);

}  // namespace movrix
