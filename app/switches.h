// The switches deployment tools pass to the installer, by long-standing installer convention.
#pragma once

#include <string>
#include <vector>

namespace movrix {

// The switches the installer accepts, as named to the user.
inline constexpr const char* kAcceptedSwitches =
    "/silencieux (ou /S, /quiet), /journal=CHEMIN (ou /LOG=CHEMIN), /desinstaller (ou /uninstall), "
    "/utilisateur (ou /user), /fermer (ou /closeapplications), /norestart, /verifier (ou /verify)";

struct Switches {
  bool silent = false;           // no window and no box
  std::string log_path;          // where the log is appended; empty for none given
  std::string unknown;           // the first argument not understood, as given; empty when all were
  std::string invalid_log_path;  // a log path no file can have, as given; empty when none
  bool uninstall = false;        // undo rather than do
  bool per_user = false;         // only the current user's part of the registration
  bool close_mail = false;       // a running Windows Mail is ended without asking
  bool verify = false;           // only compare the machine with what the installation wrote
  // The marker of a run restarted with administrator rights by a run without them: 16
  // hexadecimal digits that name its log's file for the run that waits for it; empty for others.
  std::string restart_marker;
};

// Reads the arguments (without the program's own name). A switch starts with "/" or "-" and its
// name is matched ignoring case, accented capitals included: "silencieux", "S" or "quiet";
// "journal=PATH" or "LOG=PATH", PATH kept as given. A PATH holding a character no path can hold ("
// < > | * ?) is invalid; when it holds a quote, the words after it are read as switches too, since
// that quote swallowed them (as in /LOG="C:\Logs\" /S, where the backslash makes the closing quote
// part of the path). "desinstaller" (or "désinstaller") or "uninstall" asks for the way back.
// "utilisateur" or "user" runs only the current user's part (with "desinstaller", its way back).
// "fermer" or "closeapplications" ends a running Windows Mail as the answer Yes would. "norestart"
// is accepted and changes nothing: the installer never restarts the machine, but deployment tools
// add it to every installer's command by habit. "verifier" (or "vérifier") or "verify" only
// checks that the installation is still as it was written (with "utilisateur", the user's rows).
// "relance=MARKER", which only the program itself passes to the run it restarts with the rights,
// is taken with 16 small hexadecimal digits only.
Switches ParseSwitches(const std::vector<std::string>& arguments);

// Why the installer cannot follow `switches`, in French, for the user; empty when it can.
std::string SwitchesRefusal(const Switches& switches);

}  // namespace movrix
