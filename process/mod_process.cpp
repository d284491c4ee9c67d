#include "process/mod_process.h"

#include "common/text.h"

namespace movrix {
namespace {

// How long a program asked to close may take before it is terminated: enough to save its state.
constexpr uint32_t kCloseWaitMilliseconds = 5000;
// How long a terminated process may take to be gone before the installation goes on regardless.
constexpr uint32_t kEndWaitMilliseconds = 10000;

}  // namespace

FoundProcess FindProcess(System& system, const std::string& exe_name) {
  std::unique_ptr<ProcessSnapshot> snapshot = system.SnapshotProcesses();
  if (!snapshot) return {};
  // A failed first fetch leaves an empty entry, which matches nothing.
  ProcessEntry entry;
  snapshot->First(entry);
  do {
    if (EqualsIgnoringCase(entry.exe_name, exe_name))
      return {entry.id, system.OpenProcessToEnd(entry.id)};
  } while (snapshot->Next(entry));
  return {};
}

bool EndProcess(const FoundProcess& found) {
  if (!found.process) return false;
  found.process->AskToClose();
  if (found.process->WaitForEnd(kCloseWaitMilliseconds)) return true;
  found.process->Terminate(0);
  return found.process->WaitForEnd(kEndWaitMilliseconds);
}

}  // namespace movrix
