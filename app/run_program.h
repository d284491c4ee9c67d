// One run of the program, from its arguments to its exit code.
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"

namespace movrix {

// Reads the switches, then loads and shows the window (which installs, or uninstalls when asked),
// or refuses a bad switch;
// writes the log when one is asked for or the run is silent (%TEMP%\Movrix18.log by default).
// Returns the exit code.
int RunProgram(System& system, const std::vector<std::string>& arguments);

}  // namespace movrix
