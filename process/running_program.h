// Finding the running programs of an executable name, and ending them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"

namespace movrix {

// A running program found by its executable name. It is held open from the search on, so that
// its id cannot pass to another program while the user decides whether to end it.
struct FoundProcess {
  int32_t id = 0;
  bool other_session = false;              // no close request from this session reaches it
  std::unique_ptr<ProcessHandle> process;  // null when it could not be opened
};

// Every process in a snapshot whose executable name equals `exe_name`, ignoring case and comparing
// whole names, each opened while the snapshot is walked: one user's sign-in may run it beside
// another's. None when no snapshot can be taken.
std::vector<FoundProcess> FindProcesses(Processes& system, const std::string& exe_name);

// How a found program came to its end.
enum class Ending {
  kClosed,        // closed on request, or by its user meanwhile
  kTerminated,    // terminated without closing
  kStillRunning,  // still runs, or could not be opened
};

// Ends a found program so that its files are free for the installation. One in this session is
// asked to close and given 5 s to do so; one in another session, which the request cannot reach,
// or one that still runs after those 5 s, is terminated (exit code 0) and waited for 10 s at most.
// A program that ended meanwhile, such as one its user closed, is not touched.
Ending EndProcess(const FoundProcess& found);

}  // namespace movrix
