// One run of the program, from its arguments to its exit code.
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"

namespace movrix {

// Reads the switches, opens the log (the given path, its variables expanded, made absolute from
// the folder the program was started in; in silent mode without one, a new file in %TEMP%; for a
// user's own part, %LOCALAPPDATA%\Movrix18\utilisateur.log), takes the lock that keeps
// other runs out, then loads and shows the window (which installs, or uninstalls when asked); a
// check (/verifier) opens only the log given, takes no lock and shows nothing. Ends
// at once, changing nothing, when the log cannot be used (1622), when a switch cannot be followed
// (87), or when another run holds the lock (1618). Returns the exit code.
int RunProgram(System& system, const std::vector<std::string>& arguments);

}  // namespace movrix
