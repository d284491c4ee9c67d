// How a procedure that guards its work meets a failure of the system: the failure stops the work,
// the procedure reports it (usually with a message box titled after itself) and returns its
// failure value. Only SystemError is a failure of the system; any other exception is a fault of
// the program itself, which passes every guard up to the one of the whole run (RunProgram).
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

// Runs `work`. When it raises a SystemError, calls `on_fault` with the failure's description and
// returns what `on_fault` returns.
template <typename Work, typename OnFault>
auto Guarded(Work&& work, OnFault&& on_fault) -> decltype(work()) {
  try {
    return work();
  } catch (const SystemError& failure) {
    return on_fault(std::string(failure.what()));
  }
}

// Stops a guarded procedure without a description of its own: its handler then shows a box whose
// only information is the title and step.
[[noreturn]] inline void FailWithoutDescription() {
  throw SystemError("");
}

}  // namespace movrix
