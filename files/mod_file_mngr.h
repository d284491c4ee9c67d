// File and folder primitives: existence tests, the rights step, the copy of one file and the
// copy of a whole folder tree with its log.
#pragma once

#include <string>

#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// True when the file exists and is longer than 0 bytes. Otherwise false, after a box showing the
// query's error description (empty for an empty file) when `show_message` is set.
bool FileExists(System& system, const std::string& path, bool show_message);

// True when `path` (a final backslash allowed) names an existing folder. Guards nothing: errors
// of the listing reach the caller.
bool FolderExists(System& system, const std::string& path);

// Hands `path` to the Administrators group (takeown, then icacls), without waiting for either.
// False only when a command could not be started, after its box.
bool SetRights(System& system, const std::string& path);

// The text before the first NUL of `text`. Raises a failure when there is none.
std::string StripNull(const std::string& text);

// Copies the file of `copy.FindData` from `folder` to the same relative place under
// `copy.DestRoot`, logging two lines. True when the file was copied.
bool CopyThisFile(System& system, CopyContext& copy, const std::string& folder);

// Copies the tree below `folder` (ending in a backslash) under `copy.DestRoot`. True unless a file
// of this folder itself failed.
bool CopyFolder(System& system, CopyContext& copy, const std::string& folder);

}  // namespace movrix
