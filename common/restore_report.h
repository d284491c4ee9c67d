// What an uninstallation run gathers while it puts the machine back: the steps done for the
// output box, and, in the run's outcome, what could not be restored and what the system completes
// at the next restart. The status lines, the log and the exit code come from that outcome, as
// for an installation.
#pragma once

#include <string>
#include <vector>

#include "common/run_state.h"

namespace movrix {

class RestoreReport {
 public:
  explicit RestoreReport(Outcome& outcome) : outcome_(outcome) {}

  // One line per thing restored.
  const std::vector<std::string>& done() const { return done_; }
  void Done(const std::string& line) { done_.push_back(line); }
  // Records that `what` could not be done to `where`, for the reason the system gave.
  void Fail(const std::string& what, const std::string& where, const std::string& reason) {
    outcome_.Fail(what + " : " + where, reason);
  }
  // Records `path`, which someone else's change makes the way back leave as it found it, and the
  // warning that says so.
  void LeaveAsFound(const std::string& path, const std::string& warning) {
    outcome_.warnings.push_back(warning);
    outcome_.left_as_found.push_back(path);
  }
  bool LeftAnyAsFound() const { return !outcome_.left_as_found.empty(); }
  // Records a file the system replaces or deletes at the next restart.
  void Schedule(const std::string& path) { outcome_.at_restart.push_back(path); }
  bool Failed() const { return !outcome_.failures.empty(); }
  // The run's outcome, for the steps that report into it directly.
  Outcome& outcome() { return outcome_; }

 private:
  Outcome& outcome_;
  std::vector<std::string> done_;
};

}  // namespace movrix
