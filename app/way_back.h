// The way back: the uninstallation.
#pragma once

#include "app/window_run.h"

namespace movrix {

// Rights and system, a look for an installation and at the records it kept, one question unless
// silent; then the registry, the system files and the program folders back as they were before
// the first installation, and last what the installation kept for the way back. The steps go to
// txtOutput and the verdict to the status lines. A record that is missing or cannot be trusted
// stops it before anything changes.
void RunWayBack(WindowRun& run);

}  // namespace movrix
