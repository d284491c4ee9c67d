// The folder renaming phase.
#include "files/rename_mail_folders.h"

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

// True when `folder` or its backup exists. A backup without its folder is a renaming done by an
// earlier run that stopped before the copy re-created the folder.
bool FolderOrBackupExists(FileSystem& system, const std::string& folder) {
  return FolderExists(system, folder + "\\") || FolderExists(system, folder + kBackupSuffix + "\\");
}

// True when `folder` has no backup yet; an existing backup is never touched.
bool NeedsBackup(FileSystem& system, const std::string& folder) {
  return !FolderExists(system, folder + kBackupSuffix + "\\");
}

// The renaming of one run. The support notes quote the steps that title its box
// ("Launch_Folders 4"), "0" to "6", and the points where they change: both stay as they are.
class RenamingPhase {
 public:
  RenamingPhase(FileSystem& system, const RunState& state, bool is_64_bit)
      : system_(system),
        program_(state.program_files_folder + kMailFolder),
        program_x86_(state.program_files_x86_folder + kMailFolder),
        is_64_bit_(is_64_bit) {}

  FolderRenaming Run() {
    FolderRenaming result;
    result.stop = step_.Run([&] { return Rename(result.report); });
    return result;
  }

 private:
  // A missing folder stops the phase with no failure of the system to tell: its title alone says
  // where.
  std::optional<Stop> Rename(std::string& report) {
    step_.Mark("1");
    if (!FolderOrBackupExists(system_, program_)) return step_.Here();
    step_.Mark("2");
    if (is_64_bit_ && !FolderOrBackupExists(system_, program_x86_)) return step_.Here();
    step_.Mark("3");
    const std::string header = ReportHeader();
    if (NeedsBackup(system_, program_)) {
      step_.Mark("4");
      system_.Rename(program_, program_ + kBackupSuffix);
      report = header + "Renommer le dossier Program Files\\Windows Mail" + kCrLf;
    }
    if (is_64_bit_ && NeedsBackup(system_, program_x86_)) {
      step_.Mark("5");
      system_.Rename(program_x86_, program_x86_ + kBackupSuffix);
      if (report.empty()) report = header;
      report += std::string("Renommer le dossier Program Files (x86)\\Windows Mail") + kCrLf;
    }
    step_.Mark("6");
    return std::nullopt;
  }

  FileSystem& system_;
  const std::string program_;
  const std::string program_x86_;
  const bool is_64_bit_;
  StepMarker step_{"0"};
};

}  // namespace

FolderRenaming RenameMailFolders(FileSystem& system, const RunState& state, bool is_64_bit_system) {
  return RenamingPhase(system, state, is_64_bit_system).Run();
}

}  // namespace movrix
