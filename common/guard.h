// How a phase meets a failure: the failure stops its work, and the phase reports it (usually with
// a message box titled after itself and the step it reached) and returns its failure value.
// SystemError is a failure of the system, DataError a datum its use cannot take; any other
// exception is a fault of the program itself, which passes every guard up to the one of the whole
// run (RunProgram). A phase that stops on a check of its own returns so: stopping is no exception.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/system.h"

namespace movrix {

// A datum that its use cannot take: a registry value's data that its type cannot hold, a record
// that is not whole. The system did not fail, so there is no system code to carry.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs `work`. When it raises a SystemError or a DataError, calls `on_fault` with the failure's
// description and returns what `on_fault` returns.
template <typename Work, typename OnFault>
auto Guarded(Work&& work, OnFault&& on_fault) -> decltype(work()) {
  try {
    return work();
  } catch (const SystemError& failure) {
    return on_fault(std::string(failure.what()));
  } catch (const DataError& fault) {
    return on_fault(std::string(fault.what()));
  }
}

// Where a phase stopped and why. The step titles the phase's box ("Launch_Copy 5"); the
// description, its text, is empty when a check of the phase's own stopped it.
struct Stop {
  std::string step;
  std::string description;
};

// The step a phase has reached, which names it in the box when the phase stops there. The phase
// owns it for its whole run; each step marks itself as it begins.
class StepMarker {
 public:
  explicit StepMarker(std::string first = "") : step_(std::move(first)) {}
  void Mark(std::string step) { step_ = std::move(step); }
  // Ends the phase at the step reached, for a check of its own that failed.
  Stop Here() const { return {step_, ""}; }
  // Runs `work`, which returns an empty optional or where it stopped; a failure of the system or
  // of a datum stops it at the step marked last, with the failure's description.
  template <typename Work>
  std::optional<Stop> Run(Work&& work) {
    return Guarded([&]() -> std::optional<Stop> { return work(); },
                   [&](const std::string& description) -> std::optional<Stop> {
                     return Stop{step_, description};
                   });
  }

 private:
  std::string step_;
};

}  // namespace movrix
