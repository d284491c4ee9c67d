// Finding a running program by its executable name, and ending it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system.h"

namespace movrix {

// Returns the id of the first process in a snapshot whose executable name equals `exe_name`,
// ignoring case and comparing whole names; 0 when there is none or no snapshot can be taken.
int32_t FindProcess(System& system, const std::string& exe_name);

// Ends the process `id` with exit code 0 and waits, 10 s at most, until it is gone, so that its
// files are free when the installation starts. Failures are silent.
void KillProcess(System& system, int32_t id);

}  // namespace movrix
