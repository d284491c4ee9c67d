// The way back of the two file phases: the program folders and the system files return from
// their ".orlo" backups. Each backup stays until its content is back in place.
#pragma once

#include <cstdint>
#include <string>

#include "common/restore_report.h"
#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// Removes the file or folder tree at `path` (no final backslash), deepest first. A link is removed
// itself, never followed. Nothing there is no failure. Throws SystemError at the first entry that
// cannot be removed.
void RemoveTree(System& system, const std::string& path);

// The bytes of the files below `folder` (no final backslash); links are not followed.
int64_t TreeSize(System& system, const std::string& folder);

// True when a Program Files folder of this system holds a "Windows Mail" backup.
bool HasFolderBackups(System& system, const RunState& state, bool is_64_bit);

// For each Program Files folder with a "Windows Mail" backup: removes the installed folder, then
// renames the backup back. The user's mail store, under the user profiles, is not touched.
void RestoreProgramFolders(System& system, const RunState& state, bool is_64_bit,
                           RestoreReport& report);

// True when a system file of this system's rows has a backup.
bool HasSystemFileBackups(System& system, const RunState& state, bool is_64_bit);

// Puts each system file with a backup back from it, after handing both to the Administrators
// group (awaited). The backup is moved over the installed file in one step, so it is never gone
// before its content is in place. A file the system keeps in use is scheduled for the next
// restart instead.
void RestoreSystemFiles(System& system, const RunState& state, bool is_64_bit,
                        RestoreReport& report);

}  // namespace movrix
