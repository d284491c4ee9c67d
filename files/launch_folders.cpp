// The folder renaming phase.
#include "files/launch_folders.h"

#include "common/guard.h"
#include "common/text.h"
#include "files/backup.h"
#include "files/file_exists.h"

namespace movrix {
namespace {

std::string ReportHeader() {
  return std::string("Renommer le ou les dossiers programmes Windows Mail") + kCrLf +
         Repeat('-', 92) + kCrLf;
}

// Fails the phase unless `folder` or its backup exists; no error was raised, so only the step
// titles the box. A backup without its folder is a renaming done by an earlier run that stopped
// before the copy re-created the folder.
void RequireFolder(System& system, const std::string& folder) {
  if (!FolderExists(system, folder + "\\") && !FolderExists(system, folder + kBackupSuffix + "\\"))
    FailWithoutDescription();
}

// True when `folder` has no backup yet; an existing backup is never touched.
bool NeedsBackup(System& system, const std::string& folder) {
  return !FolderExists(system, folder + kBackupSuffix + "\\");
}

// The step marker only titles the phase's failure box ("Launch_Folders 4"); its values "1" to "6"
// and the points where they change are required as they are.
void RenameProgramFolders(System& system, RunState& state, bool is_64_bit, std::string& step) {
  const std::string program = state.ProgramFilesFolder + kMailFolder;
  const std::string program_x86 = state.ProgramFilesX86Folder + kMailFolder;
  step = "1";
  RequireFolder(system, program);
  step = "2";
  if (is_64_bit) RequireFolder(system, program_x86);
  step = "3";
  const std::string header = ReportHeader();
  bool renamed_program = false;
  if (NeedsBackup(system, program)) {
    step = "4";
    system.Rename(program, program + kBackupSuffix);
    state.ReportText = header + "Renommer le dossier Program Files\\Windows Mail" + kCrLf;
    renamed_program = true;
  }
  if (is_64_bit && NeedsBackup(system, program_x86)) {
    step = "5";
    system.Rename(program_x86, program_x86 + kBackupSuffix);
    if (!renamed_program) state.ReportText = header;
    state.ReportText +=
        std::string("Renommer le dossier Program Files (x86)\\Windows Mail") + kCrLf;
  }
  step = "6";
}

}  // namespace

bool Launch_Folders(System& system, RunState& state, bool is_64_bit_system) {
  std::string step = "0";
  return Guarded(
      [&] {
        RenameProgramFolders(system, state, is_64_bit_system, step);
        return true;
      },
      [&](const std::string& description) {
        system.ShowMessage(description, "Launch_Folders " + step, Buttons::kOk, Icon::kCritical);
        return false;
      });
}

}  // namespace movrix
