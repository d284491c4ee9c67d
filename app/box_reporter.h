// The reporter a phase lends its steps: each report is a message box with an OK button, shown at
// once, so that the boxes come in the order the steps met what they tell.
#pragma once

#include <string>

#include "common/box_titles.h"
#include "common/guard.h"
#include "common/reporter.h"
#include "platform/system.h"

namespace movrix {

class BoxReporter : public Reporter {
 public:
  explicit BoxReporter(UserInterface& window) : window_(window) {}
  void Report(const std::string& title, const std::string& text, Icon icon) override {
    window_.ShowMessage(text, title, Buttons::kOk, icon);
  }

 private:
  UserInterface& window_;
};

// The box of a phase that stopped: its title names the phase and then the step it reached.
inline void ShowStop(UserInterface& window, const std::string& phase_title, const Stop& stop,
                     Icon icon) {
  window.ShowMessage(stop.description, phase_title + stop.step, Buttons::kOk, icon);
}

}  // namespace movrix
