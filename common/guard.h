// How a procedure that guards its work meets a failure: the failure stops the work, the procedure
// reports it (usually with a message box titled after itself) and returns its failure value.
// No failure ever leaves a guarded procedure.
#pragma once

#include <exception>
#include <string>

#include "platform/system.h"

namespace movrix {

// Runs `work`. When it raises a failure, calls `on_fault` with the failure's description and
// returns what `on_fault` returns.
template <typename Work, typename OnFault>
auto Guarded(Work&& work, OnFault&& on_fault) -> decltype(work()) {
  try {
    return work();
  } catch (const std::exception& failure) {
    return on_fault(std::string(failure.what()));
  }
}

// Stops a guarded procedure without a description of its own: its handler then shows a box whose
// only information is the title and step.
[[noreturn]] inline void FailWithoutDescription() {
  throw SystemError("");
}

}  // namespace movrix
