// The owner and access list of a system file as they were before the installation first changed
// them: the rights step hands the file to the Administrators group, and the way back must hand it
// back to its owner (the system's TrustedInstaller service, usually) with its own access list.
#pragma once

#include <string>

#include "common/restore_report.h"
#include "platform/system.h"

namespace movrix {

// Where the security of `file` is kept: beside its backup, taken and removed with it.
std::string SavedSecurityPath(const std::string& file);

// Saves the security of `file` before its first change: only when the file has content, has no
// backup yet and no security is saved for it. Errors reach the caller, before anything changed.
void SaveSecurityOnce(FileSystem& system, const std::string& file);

// Names in `report` the security saved for `file` when it is not a whole record of ours or cannot
// be read: checked before the way back changes anything, like every other record.
void CheckSavedSecurity(FileSystem& system, const std::string& file, RestoreReport& report);

// Puts the saved security back on `file`, once its original content is back, then removes the
// saved copy; nothing when none is saved. A failure is named in `report`, and the saved copy kept
// for a second attempt.
void PutSecurityBack(FileSystem& system, const std::string& file, RestoreReport& report);

}  // namespace movrix
