// WOW64 file-system redirection switched off for a scope of the calling thread.
#pragma once

#include "platform/forwarding_system.h"

namespace movrix {

// Switches the redirection off when made and restores it when destroyed, so that it is restored
// on every way out of the scope, a failure included. The work of the scope goes through this
// object, which forwards every call but shows each message box with the redirection back on: a
// box loads libraries, and a 32-bit process must never take them from the 64-bit system folder.
class Wow64RedirectionOff : public ForwardingSystem {
 public:
  explicit Wow64RedirectionOff(System& system)
      : ForwardingSystem(system), previous_(system.DisableWow64Redirection()) {}
  ~Wow64RedirectionOff() override {
    try {
      Restore();
    } catch (const SystemError&) {
      // Only a failure leaves the scope unrestored; that first failure is the one reported.
    }
  }
  Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
  Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

  // Restores the redirection as it was before, once; later calls do nothing.
  void Restore() {
    if (!active_) return;
    active_ = false;
    next_.RevertWow64Redirection(previous_);
  }

  // Shows the box with the redirection as it was before, then switches it off again.
  Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                     Icon icon) override {
    if (!active_) return next_.ShowMessage(text, title, buttons, icon);
    next_.RevertWow64Redirection(previous_);
    const Answer answer = next_.ShowMessage(text, title, buttons, icon);
    previous_ = next_.DisableWow64Redirection();
    return answer;
  }

 private:
  Wow64Value previous_;
  bool active_ = true;
};

}  // namespace movrix
