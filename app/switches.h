// The switches deployment tools pass to the installer, by long-standing installer convention.
#pragma once

#include <string>
#include <vector>

namespace movrix {

// The switches the installer accepts, as named to the user.
inline constexpr const char* kAcceptedSwitches =
    "/silencieux (ou /S), /journal=CHEMIN (ou /LOG=CHEMIN), /desinstaller (ou /uninstall)";

struct Switches {
  bool silent = false;     // no window and no box
  std::string log_path;    // where the log is appended; empty for none given
  std::string unknown;     // the first argument not understood, as given; empty when all were
  bool uninstall = false;  // restore the machine instead of installing
};

// Reads the arguments (without the program's own name). A switch starts with "/" or "-" and its
// name is matched ignoring case: "silencieux" or "S"; "journal=PATH" or "LOG=PATH", PATH kept as
// given; "desinstaller" (or "désinstaller") or "uninstall".
Switches ParseSwitches(const std::vector<std::string>& arguments);

}  // namespace movrix
