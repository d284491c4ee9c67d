// The reporter a phase lends its steps: each report is a message box with an OK button, shown at
// once, so that the boxes come in the order the steps met what they tell.
#pragma once

#include <string>

#include "common/guard.h"
#include "common/reporter.h"
#include "platform/system.h"

namespace movrix {

class BoxReporter : public Reporter {
 public:
  explicit BoxReporter(System& system) : system_(system) {}
  void Report(const std::string& title, const std::string& text, Icon icon) override {
    system_.ShowMessage(text, title, Buttons::kOk, icon);
  }

 private:
  System& system_;
};

// The box of a phase that stopped: its title names the phase and then the step it reached.
inline void ShowStop(System& system, const std::string& phase_title, const Stop& stop, Icon icon) {
  system.ShowMessage(stop.description, phase_title + stop.step, Buttons::kOk, icon);
}

}  // namespace movrix
