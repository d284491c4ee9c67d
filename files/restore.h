// The way back of the two file phases: the program folders and the system files return from
// their ".orlo" backups. Each backup stays until its content is back in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/reporter.h"
#include "common/restore_report.h"
#include "common/run_state.h"
#include "files/file_record.h"
#include "files/replacing_files.h"
#include "platform/system.h"

namespace movrix {

// Removes the file or folder tree at `path` (no final backslash), deepest first, read-only entries
// included. A link is removed itself, never followed. Nothing there is no failure. Returns what
// stayed, each entry with the system's reason; a folder stays with its content.
std::vector<Failure> RemoveTree(FileSystem& system, const std::string& path);

// Renames `path` (no final backslash) to a name beside it that nothing has, and returns that name.
// Throws SystemError when it cannot be renamed, such as a file another program holds open.
std::string MoveAside(FileSystem& system, const std::string& path);

// Deletes the file set aside as `aside`; one that something still holds, such as a library a
// program has loaded or a running program, is deleted at the next restart. True when it is gone
// now, false when it goes at the restart. Throws SystemError when it can be neither.
bool DeleteAsideNowOrAtRestart(FileSystem& system, const std::string& aside);

// The same, for the way back: a deletion left to the restart is recorded in `report`, and one
// that cannot be scheduled is a failure there.
void DeleteAside(FileSystem& system, const std::string& aside, RestoreReport& report);

// Every copy set aside for its deletion (".supprimer-N") that a run which stopped left beside this
// system's system files, its "Windows Mail" folders or `program`, and whose deletion is not
// pending for the restart. Errors reach the caller.
std::vector<std::string> LeftAsideCopies(FileSystem& system, Environment& process,
                                         const RunState& state, bool is_64_bit,
                                         const std::string& program);

// Deletes each copy that LeftAsideCopies finds, a folder whole; a file something still holds goes
// at the restart. What stays is named in `report`.
void DeleteLeftAsideCopies(FileSystem& system, Environment& process, const RunState& state,
                           bool is_64_bit, const std::string& program, RestoreReport& report);

// The bytes of the files below `folder` (no final backslash); links are not followed.
int64_t TreeSize(FileSystem& system, const std::string& folder);

// True when a Program Files folder of this system holds a "Windows Mail" backup.
bool HasFolderBackups(FileSystem& system, const RunState& state, bool is_64_bit);

// For each Program Files folder with a "Windows Mail" backup: sets the installed folder aside,
// renames the backup back, then removes the aside folder; what stayed of it is named in `report`.
// An installed folder holding a file that the installation did not write there (`record`), or one
// that changed since, is someone else's: it stays, with its backup, and a warning names its first
// differences, both in `report`. The user's mail store, under the user profiles, is not touched.
void RestoreProgramFolders(FileSystem& system, const RunState& state, bool is_64_bit,
                           const FileRecord& record, RestoreReport& report);

// True when a system file of this system's rows has a backup, or its original security saved.
bool HasSystemFileBackups(FileSystem& system, Environment& process, const RunState& state,
                          bool is_64_bit);

// Names in `report` each saved security of this system's rows that cannot be trusted.
void CheckSavedSecurities(FileSystem& system, Environment& process, const RunState& state,
                          bool is_64_bit, RestoreReport& report);

// Puts each system file with a backup back from it, after handing both to the Administrators
// group (awaited), then its original owner and access list. The installed file is set aside and
// the backup renamed in its place; the backup stays until its content is in place. The aside
// copy of a file the system keeps in use is deleted at the next restart.
// A file that no longer holds what the installation wrote (`record`) was replaced by someone else:
// it stays, with its backup, and a warning names both. A file the installation added where nothing
// was is deleted, and the folders it created go once empty. A rights step that fails is told
// through `boxes` at once.
void RestoreSystemFiles(ReplacingFiles system, Reporter& boxes, const RunState& state,
                        bool is_64_bit, const FileRecord& record, RestoreReport& report);

}  // namespace movrix
