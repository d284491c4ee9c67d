// Finding a running program by its executable name, and ending it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/system.h"

namespace movrix {

// A running program found by its executable name. It is held open from the search on, so that
// its id cannot pass to another program while the user decides whether to end it.
struct FoundProcess {
  int32_t id = 0;                          // 0 when no such program runs
  std::unique_ptr<ProcessHandle> process;  // null when none was found or it could not be opened
};

// Looks for the first process in a snapshot whose executable name equals `exe_name`, ignoring case
// and comparing whole names, and opens it while the snapshot is walked. Nothing is found when no
// snapshot can be taken.
FoundProcess FindProcess(System& system, const std::string& exe_name);

// Ends a found program so that its files are free for the installation: asks it to close and
// gives it 5 s to do so; if it still runs, terminates it (exit code 0) and waits 10 s at most. A
// program that ended meanwhile, such as one its user closed, is not touched. True when the
// program is gone; false when it still runs or could not be opened.
bool EndProcess(const FoundProcess& found);

}  // namespace movrix
