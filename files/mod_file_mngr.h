// File and folder primitives: existence tests, the rights step, the copy of one file and the
// copy of a whole folder tree with its log.
#pragma once

#include <string>

#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// Added to the name of an original the installation sets aside: its one-time backup.
inline constexpr const char* kBackupSuffix = ".orlo";

// True when the file exists and is longer than 0 bytes. Otherwise false, after a box showing the
// query's error description (empty for an empty file) when `show_message` is set.
bool FileExists(System& system, const std::string& path, bool show_message);

// True when `path` (a final backslash allowed) names an existing folder. Guards nothing: errors
// of the listing reach the caller.
bool FolderExists(System& system, const std::string& path);

// Hands `path` to the Administrators group (takeown, then icacls). With `await`, waits for each
// command to end, 30 s at most, and a command still running then is a warning in `outcome`;
// otherwise they run on alongside. False only when a command could not be started, after its box;
// `outcome` then holds the failure, as the path not written for want of rights.
bool SetRights(System& system, Outcome& outcome, const std::string& path, bool await = false);

// Copies the file of `copy.FindData` from `folder` to the same relative place under
// `copy.DestRoot`, logging two lines; a file not copied is a failure in `outcome`, with the
// reason. An existing destination is handed to the Administrators group first. True when the file
// was copied.
bool CopyThisFile(System& system, CopyContext& copy, Outcome& outcome, const std::string& folder);

// Copies the tree below `folder` (ending in a backslash) under `copy.DestRoot`. Names without a dot
// and names beginning with one are skipped. A folder that cannot be listed (or whose listing
// breaks off), a name that the ANSI listing could not carry and a link (junction or symbolic link,
// which is neither followed nor copied) are failures in `outcome`, and the walk goes on. True
// unless a file of this folder itself failed to copy, which ends the walk of this folder.
bool CopyFolder(System& system, CopyContext& copy, Outcome& outcome, const std::string& folder);

}  // namespace movrix
