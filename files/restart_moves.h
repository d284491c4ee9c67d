// The moves the system carries out at the next restart, each asked for once.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

// Has the system move `from` onto `to` at the next restart (delete `from` when `to` is empty),
// unless that very operation is pending already: a second run before the restart adds nothing.
// Throws SystemError when the pending operations cannot be read or the move cannot be scheduled.
void MoveAtRestartOnce(FileSystem& system, const std::string& from, const std::string& to);

// Has the system delete the folder `path` at the next restart, once the operations pending before
// it have emptied it: unless its deletion is the last one pending already, it is asked for again
// at the end. Throws SystemError as MoveAtRestartOnce.
void DeleteFolderAtRestart(FileSystem& system, const std::string& path);

// True when the deletion of `path` is pending for the next restart. Throws SystemError when the
// pending operations cannot be read.
bool DeletedAtRestart(FileSystem& system, const std::string& path);

}  // namespace movrix
