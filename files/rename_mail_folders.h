// The folder renaming phase: the system's "Windows Mail" program folders are set aside once.
#pragma once

#include <optional>
#include <string>

#include "common/guard.h"
#include "common/run_state.h"
#include "platform/system.h"

namespace movrix {

// The program folder the installation replaces, in each Program Files folder.
inline constexpr const char* kMailFolder = "Windows Mail";

// What the renaming came to: the lines of the folders it renamed under their header (empty when
// every backup was there), and where it stopped when it could not go on.
struct FolderRenaming {
  std::string report;
  std::optional<Stop> stop;
};

// Renames each "Windows Mail" program folder to "Windows Mail.orlo" unless that backup exists.
FolderRenaming RenameMailFolders(FileSystem& system, const RunState& state, bool is_64_bit_system);

}  // namespace movrix
