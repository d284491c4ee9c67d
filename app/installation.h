// The installation, and what it keeps for the way back.
#pragma once

#include <string>

#include "app/window_run.h"

namespace movrix {

// The installation: rights, system and sources, then the renaming, the copy and on Windows 8 and
// 10 the registration; then what it keeps for the way back. Fills the window from the run's
// outcome at its end; every stop closes the window, and the log keeps the output so far and the
// status.
void RunInstallation(WindowRun& run);

// What the installation keeps for the way back, in its own folder in the native Program Files,
// which only administrators can write to. Each path is full.
struct KeptForWayBack {
  explicit KeptForWayBack(const RunState& state);
  // Ends in a backslash.
  std::string folder;
  // The copy of the program that the way back and every user's sign-in run.
  std::string program;
  // What the registry held before the first installation, and what the registration wrote.
  std::string registry_record;
  std::string written_record;
  // What the installation wrote as files, and what was there before.
  std::string file_record;
  // The way back's own note that the registry, the files and the folders came back: a rerun then
  // only finishes removing what the installation kept.
  std::string progress_record;
};

// True when the machine holds a trace of an installation: a backup of a "Windows Mail" folder or
// of a system file, a record in the own folder, the Programs and Features entry, or an Active
// Setup component that still installs.
bool MachineInstallationFound(System& system, const RunState& state);

}  // namespace movrix
