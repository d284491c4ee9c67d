#include "process/mod_process.h"

#include "common/text.h"

namespace movrix {
namespace {

// How long an ended process may take to be gone before the installation goes on regardless.
constexpr uint32_t kEndWaitMilliseconds = 10000;

}  // namespace

int32_t FindProcess(System& system, const std::string& exe_name) {
  std::unique_ptr<ProcessSnapshot> snapshot = system.SnapshotProcesses();
  if (!snapshot) return 0;
  // A failed first fetch leaves an empty entry, which matches nothing.
  ProcessEntry entry;
  snapshot->First(entry);
  do {
    if (EqualsIgnoringCase(entry.exe_name, exe_name)) return entry.id;
  } while (snapshot->Next(entry));
  return 0;
}

void KillProcess(System& system, int32_t id) {
  if (std::unique_ptr<ProcessHandle> process = system.OpenProcessToTerminate(id)) {
    process->Terminate(0);
    process->WaitForEnd(kEndWaitMilliseconds);
  }
}

}  // namespace movrix
