#include "app/window_run.h"

#include "app/identify_windows.h"
#include "app/run_end.h"

namespace movrix {
namespace {

// Identifies the system: its family and width in the run's identity, its description in txtSys.
void IdentifySystem(WindowRun& run) {
  WindowsDescription shown;
  shown.system_text = run.form.text(kTxtSys);
  if (!IdentifyWindows(run.system, run.state.identity, shown)) run.form.Unload();
  run.form.SetText(kTxtSys, shown.system_text);
}

}  // namespace

void WindowRun::Stop(const std::string& message, Icon icon, const std::string& title) {
  system.ShowMessage(message, title, Buttons::kOk, icon);
  Halt();
}

void WindowRun::Halt() {
  LogStatus();
  form.Unload();
}

void WindowRun::ShowOutcome() {
  // The red line says the verdict whenever its own text would not be true: after anything short
  // of a complete installation, and after an uninstallation.
  form.ShowEnd(OutputText(), Verdict(), options.uninstall || !state.outcome.Succeeded());
  LogStatus();
}

int WindowRun::ExitCode() const {
  return ExitCodeOf(state.outcome);
}

std::string WindowRun::Verdict() const {
  return VerdictOf(state.outcome, options.uninstall);
}

std::string WindowRun::OutputText() const {
  const std::string lines = OutcomeLines(state.outcome);
  return steps + copy_log + (lines.empty() ? "" : kCrLf + lines);
}

void WindowRun::LogStatus() {
  Log(OutputText() + "Statut : " + Verdict());
}

bool RightsAndSystemAccepted(WindowRun& run) {
  const AdministratorsGroup group = run.system.AdministratorsInToken();
  if (group != AdministratorsGroup::kEnabled) {
    if (group == AdministratorsGroup::kDenyOnly) run.Log(kRightsFiltered);
    run.Stop(kNeedsAdministrator, Icon::kCritical);
    return false;
  }
  IdentifySystem(run);
  const std::string& description = run.form.text(kTxtSys);
  run.Log("Système : " + description.substr(0, description.find(kCrLf)));
  if (run.state.identity.family != WindowsFamily::kOther) return true;
  run.Stop("Le système n'est ni Windows 7, ni Windows 8, ni Windows 10");
  return false;
}

}  // namespace movrix
