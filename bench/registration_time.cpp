// Times the registration on the real registry of the prefix it runs in: WriteRegistration on a
// 64-bit system, a first time (every key new) and a second time (every key there), and prints each
// duration in milliseconds with the number of failures, one run per line:
//   first <milliseconds> <failures>
//   again <milliseconds> <failures>
// Exits with 1 when a run stopped or a value could not be written, so that a time is never taken
// from a registration that did not happen.
#include <windows.h>

#include <cstdio>

#include "app/box_reporter.h"
#include "platform/win32/win32_system.h"
#include "registry/write_registration.h"

namespace {

// One timed WriteRegistration; false when it stopped or left a failure.
bool TimeOneRun(movrix::System& system, const char* name) {
  movrix::Outcome outcome;
  const DWORD started = GetTickCount();
  movrix::BoxReporter boxes(system);
  const bool completed = !movrix::WriteRegistration(system, boxes, true, outcome);
  const DWORD took = GetTickCount() - started;
  std::printf("%s %lu %zu\n", name, took, outcome.failures.size());
  return completed && outcome.failures.empty();
}

}  // namespace

int main() {
  movrix::Win32System system;
  const bool first = TimeOneRun(system, "first");
  const bool again = TimeOneRun(system, "again");
  return first && again ? 0 : 1;
}
