// The check that an installation is still intact, for the detection of deployment tools.
#pragma once

#include "app/run_log.h"
#include "platform/system.h"

namespace movrix {

// `/verifier`: compares the machine with what the installation wrote, from the records it keeps
// (every file of both program trees and every system file by size and SHA-256, every machine
// value of the registration by type and data), and checks that its entry and its component are
// there; with `per_user`, only the current user's rows against the records in their hive. Only
// reads, with the rights of whoever starts it: no setup folder, no lock, no window, no box. Each
// difference is a line of `log`. Returns 0 when everything is as installed, 1 when something
// differs or a record is missing or damaged, 1605 when nothing is installed.
int RunVerify(System& system, RunLog& log, bool per_user);

}  // namespace movrix
