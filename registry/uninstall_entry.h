// The installer's entry in Programs and Features, in the native registry view: how users and
// deployment tools find the installation and the command that removes it.
#pragma once

#include <cstdint>
#include <string>

#include "common/restore_report.h"
#include "platform/system.h"

namespace movrix {

inline constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Movrix18";

// Writes the entry for the uninstaller `program` (a full path) kept in `folder` (ending in a
// backslash), the installation taking `size_kb` kilobytes. Throws SystemError, naming the key or
// value, at the first that cannot be written.
void WriteUninstallEntry(Registry& system, const std::string& program, const std::string& folder,
                         uint32_t size_kb);

// Deletes the entry; a failure is named in `report`.
void RemoveUninstallEntry(Registry& system, RestoreReport& report);

}  // namespace movrix
