// The replacement of one system file, with its one-time backup.
#pragma once

#include <string>

#include "common/reporter.h"
#include "common/run_state.h"
#include "files/replacing_files.h"
#include "platform/system.h"

namespace movrix {

// Replaces the system file `destination` with `source` once the rights step has handed it to the
// Administrators group. An existing original (longer than 0 bytes) is first renamed to
// `destination` + ".orlo" unless that backup exists already, so that the first original is kept
// across runs; when the copy then fails, the backup taken now is put back (over whatever part of
// the new file the copy left), so that the system file is never left missing. Without `back_up`
// (a destination the installation added itself), nothing is backed up. The copy is left without
// the read-only attribute a source may carry. True when the copy was made; otherwise `boxes` has
// told the failure at once and it is in `outcome`.
bool CopyAdd(ReplacingFiles replacing, Outcome& outcome, Reporter& boxes, const std::string& source,
             const std::string& destination, bool back_up = true);

}  // namespace movrix
