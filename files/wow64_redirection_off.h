// WOW64 file-system redirection switched off for a scope of the calling thread.
#pragma once

#include "platform/system.h"

namespace movrix {

// Switches the redirection off when made and restores it when destroyed, so that it is restored
// on every way out of the scope, a failure included.
class Wow64RedirectionOff {
 public:
  explicit Wow64RedirectionOff(System& system)
      : system_(system), previous_(system.DisableWow64Redirection()) {}
  ~Wow64RedirectionOff() {
    try {
      Restore();
    } catch (...) {
      // Only a failure leaves the scope unrestored; that first failure is the one reported.
    }
  }
  Wow64RedirectionOff(const Wow64RedirectionOff&) = delete;
  Wow64RedirectionOff& operator=(const Wow64RedirectionOff&) = delete;

  // Restores the redirection as it was before, once; later calls do nothing.
  void Restore() {
    if (!active_) return;
    active_ = false;
    system_.RevertWow64Redirection(previous_);
  }

 private:
  System& system_;
  Wow64Value previous_;
  bool active_ = true;
};

}  // namespace movrix
