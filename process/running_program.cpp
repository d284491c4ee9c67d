#include "process/running_program.h"

#include "common/text.h"

namespace movrix {
namespace {

// How long a program asked to close may take before it is terminated: enough to save its state.
constexpr uint32_t kCloseWaitMilliseconds = 5000;
// How long a terminated process may take to be gone before the installation goes on regardless.
constexpr uint32_t kEndWaitMilliseconds = 10000;

// Asks a program in this session to close; true when it did within its grace.
bool ClosedOnRequest(ProcessHandle& process) {
  process.AskToClose();
  return process.WaitForEnd(kCloseWaitMilliseconds);
}

}  // namespace

std::vector<FoundProcess> FindProcesses(Processes& system, const std::string& exe_name) {
  std::vector<FoundProcess> found;
  std::unique_ptr<ProcessSnapshot> snapshot = system.SnapshotProcesses();
  if (!snapshot) return found;
  // A failed first fetch leaves an empty entry, which matches nothing.
  ProcessEntry entry;
  snapshot->First(entry);
  do {
    if (EqualsIgnoringCase(entry.exe_name, exe_name))
      found.push_back({entry.id, entry.other_session, system.OpenProcessToEnd(entry.id)});
  } while (snapshot->Next(entry));
  return found;
}

Ending EndProcess(const FoundProcess& found) {
  if (!found.process) return Ending::kStillRunning;
  ProcessHandle& process = *found.process;
  if (process.WaitForEnd(0)) return Ending::kClosed;
  if (!found.other_session && ClosedOnRequest(process)) return Ending::kClosed;
  process.Terminate(0);
  return process.WaitForEnd(kEndWaitMilliseconds) ? Ending::kTerminated : Ending::kStillRunning;
}

}  // namespace movrix
