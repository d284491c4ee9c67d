// The switches deployment tools pass to the installer, by long-standing installer convention.
#pragma once

#include <string>
#include <vector>

namespace movrix {

// The switches the installer accepts, as named to the user.
inline constexpr const char* kAcceptedSwitches =
    "/silencieux (ou /S), /journal=CHEMIN (ou /LOG=CHEMIN), /utilisateur (ou /user)";

struct Switches {
  bool silent = false;     // no window and no box
  std::string log_path;    // where the log is appended; empty for none given
  bool per_user = false;   // only the current user's part of the registration
  bool uninstall = false;  // undo rather than do
  std::string unknown;     // the first argument not understood, as given; empty when all were
};

// Reads the arguments (without the program's own name). A switch starts with "/" or "-" and its
// name is matched ignoring case: "silencieux" or "S"; "journal=PATH" or "LOG=PATH", PATH kept as
// given; "utilisateur" or "user"; "desinstaller" or "uninstall", understood only with the former.
Switches ParseSwitches(const std::vector<std::string>& arguments);

}  // namespace movrix
