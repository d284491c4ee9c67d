// The system as one run of the installer sees it once its switches are known: every message box
// goes to the run's log with its answer; in silent mode the box is not shown and takes the answer
// that lets the run go on safely (OK, or No to a question), and the window is not shown either.
#pragma once

#include "app/run_log.h"
#include "platform/forwarding_system.h"

namespace movrix {

class LoggedSystem : public ForwardingSystem {
 public:
  LoggedSystem(System& next, RunLog& log, bool silent)
      : ForwardingSystem(next), log_(log), silent_(silent) {}

  Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                     Icon icon) override;
  void RunWindow(const FormContent& form) override;
  // In silent mode the shell's copy is unattended too: none of its boxes may wait for nobody.
  ShellCopyResult ShellCopyFile(const std::string& from, const std::string& to,
                                bool unattended) override {
    return next_.ShellCopyFile(from, to, unattended || silent_);
  }

 private:
  RunLog& log_;
  bool silent_;
};

}  // namespace movrix
