// The tree copy and the copy of one file, with its log.
#pragma once

#include <string>

#include "common/reporter.h"
#include "common/run_state.h"
#include "files/replacing_files.h"
#include "platform/system.h"

namespace movrix {

// What the copy of one tree keeps from file to file.
struct CopyContext {
  // Characters of the source root, its final backslash included. Held in 16 signed bits, as the
  // copy always counted it, so a root of 32768 characters or more does not fit: CopyThisFile then
  // fails its files rather than cut their paths elsewhere.
  int16_t source_root_length = 0;
  std::string destination_root;  // destination root, ending in a backslash
  std::string copy_log;          // two lines per handled file
};

// Copies the file `entry` of `folder` to the same relative place under `copy.destination_root`,
// logging two lines; a file not copied is a failure in `outcome`, with the reason, and `boxes`
// tells it at once. An existing destination is handed to the Administrators group first. True when
// the file was copied.
bool CopyThisFile(ReplacingFiles replacing, CopyContext& copy, Outcome& outcome, Reporter& boxes,
                  const std::string& folder, const FindData& entry);

// Copies the tree below `folder` (ending in a backslash) under `copy.destination_root`, each level
// with a listing of its own. Names without a dot and names beginning with one are skipped. A folder
// that cannot be listed (or whose listing breaks off) and a link (junction or symbolic link, which
// is neither followed nor copied) are failures in `outcome`, and the walk goes on. True unless a
// file of this folder itself failed to copy, which ends the walk of this folder.
bool CopyFolder(ReplacingFiles replacing, CopyContext& copy, Outcome& outcome, Reporter& boxes,
                const std::string& folder);

}  // namespace movrix
