// How a run ends, as deployment tools and people read it: its exit code, the verdict of txtOK and
// the log's status, and one line for each failure, warning and file left for the next restart.
// Each follows from the run's outcome alone, so that they cannot disagree.
#pragma once

#include <string>

#include "common/run_state.h"

namespace movrix {

// Exit codes, those of Windows Installer, which every deployment tool knows.
inline constexpr int kExitInstalled = 0;
inline constexpr int kExitFailed = 1603;       // a stop, or a step that failed
inline constexpr int kExitUserRefused = 1602;  // No to ending Windows Mail
inline constexpr int kExitMailRunning = 1618;  // Windows Mail running, left alone in silent mode
inline constexpr int kExitBadSwitch = 87;
inline constexpr int kExitRestartNeeded = 3010;     // restored; a restart completes it
inline constexpr int kExitNothingInstalled = 1605;  // no installation to remove
inline constexpr int kExitLogFailed = 1622;         // the log cannot be opened or is refused
inline constexpr int kExitAnotherRun = 1618;        // another run of the installer is under way
inline constexpr int kExitNotIntact = 1;            // /verifier: something differs from the install

// The exit code of a run that came to `outcome`.
int ExitCodeOf(const Outcome& outcome);

// What txtOK says of an installation, or with `uninstall` of a way back, that came to `outcome`:
// done, incomplete or failed, or why nothing was changed.
std::string VerdictOf(const Outcome& outcome, bool uninstall);

// One line, ending in CR LF, for each failure, warning and file completed at the next restart of
// `outcome`: what the output box and the log show of them.
std::string OutcomeLines(const Outcome& outcome);

}  // namespace movrix
