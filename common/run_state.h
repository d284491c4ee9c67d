// The state one installation run shares between the window and the phases. The run owns it and
// hands it down; every field has one writer.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/system.h"

namespace movrix {

// One thing the run could not do: what was not done (naming the file, folder, key or value) and
// why, in the system's words when the system gave the reason.
struct Failure {
  std::string what;
  std::string reason;
};

// How the run ended.
enum class RunEnd {
  kStopped,           // not at its end: a check or a phase stopped it, or it is still running
  kCompleted,         // every phase ran to its end (failures may still have been met)
  kUserRefused,       // the user would not have Windows Mail ended
  kMailLeftRunning,   // Windows Mail runs and nobody was there to be asked
  kNothingInstalled,  // the way back found no installation to undo
};

// What the run came to: how it ended and everything that failed on the way. The window's status
// lines, the log's status line and the exit code are all derived from this one record, so that
// they cannot disagree.
struct Outcome {
  RunEnd end = RunEnd::kStopped;
  std::vector<Failure> failures;
  // What did not fail but should be known, such as a command still running after its wait.
  std::vector<std::string> warnings;
  // Files the system replaces or deletes at the next restart, which completes the run.
  std::vector<std::string> at_restart;
  // Files a way back left as someone else's, changed since the installation: no failure, but the
  // machine is not back as it was.
  std::vector<std::string> left_as_found;

  void Fail(std::string what, std::string reason) {
    failures.push_back({std::move(what), std::move(reason)});
  }
  // True when the run completed and nothing failed.
  bool Succeeded() const { return end == RunEnd::kCompleted && failures.empty(); }
};

struct RunState {
  // Written at start-up. Folder texts end in a backslash.
  std::string app_folder;
  std::string program_files_folder;
  std::string program_files_x86_folder;
  std::string system32_folder;
  std::string syswow64_folder;
  // Read once at start-up and by the system identification; every unit reads it from here.
  SystemIdentity identity;
  // Every phase adds its failures; the run sets how it ended.
  movrix::Outcome outcome;
};

}  // namespace movrix
