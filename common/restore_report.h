// What an uninstallation run gathers while it puts the machine back: the steps done, what could
// not be restored, and what the system completes at the next restart. The run derives its output
// box, its status lines, its log and its exit code from this one record.
#pragma once

#include <string>
#include <vector>

#include "common/text.h"

namespace movrix {

struct RestoreReport {
  std::vector<std::string> done;       // one line per thing restored
  std::vector<std::string> failures;   // "what : path or key : system text"
  std::vector<std::string> scheduled;  // paths replaced or deleted at the next restart

  void Done(const std::string& line) { done.push_back(line); }
  // Records that `what` could not be done to `where`, for the reason the system gave.
  void Fail(const std::string& what, const std::string& where, const std::string& reason) {
    failures.push_back(what + " : " + where + " : " + reason);
  }
  void Schedule(const std::string& path) { scheduled.push_back(path); }
  bool Failed() const { return !failures.empty(); }
};

}  // namespace movrix
