// The one entry each run that changes or checks something leaves in the Application event log at
// its end: administrators of a fleet read there what ran on a machine, when its own log is out of
// reach.
#pragma once

#include "app/run_log.h"
#include "app/switches.h"
#include "platform/system.h"

namespace movrix {

// Writes the entry of the run `switches` asked for, which ended with `exit_code`: the run, the
// version and the exit code, under the event id of its outcome. An entry that cannot be written
// is a line of `log`, and changes nothing else.
void ReportRunEnd(System& system, RunLog& log, const Switches& switches, int exit_code);

}  // namespace movrix
