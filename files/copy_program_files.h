// The program-file copy phase: the program trees into Program Files, and on Windows 8 and 10 the
// system files, each backed up once.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "common/guard.h"
#include "common/reporter.h"
#include "common/run_state.h"
#include "files/replacing_files.h"
#include "platform/system.h"

namespace movrix {

// What the copy came to: its log, as far as it got, and where it stopped when it could not go on.
struct ProgramFileCopy {
  std::string log;
  std::optional<Stop> stop;
};

// Copies the trees and system files. Every file, folder and system file that could not be copied
// is a failure in `state.outcome`; what a file's copy must tell at once, `boxes` tells. The system
// files of `added_system_files`, which an earlier installation added where there was nothing or
// an empty file, have no original to back up.
ProgramFileCopy CopyProgramFiles(ReplacingFiles system, RunState& state, Reporter& boxes,
                                 bool is_64_bit_system,
                                 const std::set<std::string>& added_system_files = {});

}  // namespace movrix
