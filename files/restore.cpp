#include "files/restore.h"

#include <vector>

#include "files/backup.h"
#include "files/file_exists.h"
#include "files/file_security.h"
#include "files/native_files.h"
#include "files/rename_mail_folders.h"
#include "files/restart_moves.h"
#include "files/set_rights.h"
#include "files/system_file_table.h"

namespace movrix {
namespace {

// What a removal marks a link with, since it is left where it is: never followed, never emptied.
constexpr const char* kLinkLeft = "lien laissé en place, jamais suivi";
// Added, with a number, to a file or folder set aside for its deletion.
constexpr const char* kAsideSuffix = ".supprimer-";
constexpr uint32_t kAttributeNormal = 0x80;
// How many differences the warning of a folder left as someone else's names.
constexpr size_t kDifferencesNamed = 3;

struct Entry {
  std::string path;
  uint32_t attributes;
};

// The entries of `folder` (no final backslash), without "." and "..".
std::vector<Entry> EntriesOf(FileSystem& system, const std::string& folder) {
  std::vector<Entry> entries;
  FindData data;
  std::unique_ptr<FileSearch> search = system.FindFirst(folder + "\\*", data);
  for (bool more = search != nullptr; more; more = search->Next(data)) {
    const std::string& name = data.name;
    if (name != "." && name != "..") entries.push_back({folder + "\\" + name, data.attributes});
  }
  return entries;
}

bool IsFolder(uint32_t attributes) {
  return attributes & kAttributeDirectory;
}

bool IsLink(uint32_t attributes) {
  return attributes & kAttributeReparsePoint;
}

// Removes `entry`, deepest first, and adds what stayed to `left`. A folder whose content stayed is
// not tried; a read-only entry (copied from read-only media, say) loses the attribute first.
void RemoveEntry(FileSystem& system, const Entry& entry, std::vector<Failure>& left) {
  const size_t left_before = left.size();
  if (IsFolder(entry.attributes) && !IsLink(entry.attributes)) {
    for (const Entry& child : EntriesOf(system, entry.path)) RemoveEntry(system, child, left);
  }
  if (left.size() > left_before) return;
  try {
    if (entry.attributes & kAttributeReadOnly)
      system.SetPathAttributes(entry.path, kAttributeNormal);
    if (IsFolder(entry.attributes))
      system.RemoveFolder(entry.path);
    else
      system.RemoveFile(entry.path);
  } catch (const SystemError& failure) {
    const char* what = IsLink(entry.attributes) ? kLinkLeft : "non supprimé";
    left.push_back({std::string(what) + " : " + entry.path, failure.what()});
  }
}

// True when something in `folder` is deleted at the next restart.
bool WaitsForRestart(const Outcome& outcome, const std::string& folder) {
  for (const std::string& path : outcome.at_restart)
    if (path.compare(0, folder.size() + 1, folder + "\\") == 0) return true;
  return false;
}

// Puts `original` at `path`, where nothing is: on failure, what was set aside as `aside` (if
// anything) goes back, so that `path` is never left empty. Errors reach the caller.
void PutInPlace(FileSystem& system, const std::string& original, const std::string& path,
                const std::string& aside) {
  try {
    system.Rename(original, path);
  } catch (const SystemError&) {
    if (!aside.empty()) system.Rename(aside, path);
    throw;
  }
}

// The "Windows Mail" folders of this system: Program Files, and Program Files (x86) on 64-bit.
std::vector<std::string> MailFolders(const RunState& state, bool is_64_bit) {
  std::vector<std::string> folders = {state.program_files_folder + kMailFolder};
  if (is_64_bit) folders.push_back(state.program_files_x86_folder + kMailFolder);
  return folders;
}

// Hands `path` to the Administrators group before it is moved. A failure is told at once and
// recorded; the move that follows tells whether it mattered.
void TakeOver(Processes& programs, MessagePump& window, Reporter& boxes, const std::string& path,
              RestoreReport& report) {
  AwaitRightsOrReport(programs, window, boxes, report.outcome(), path);
}

// Someone replaced `file` since the installation, such as a system update: it stays, and so does
// its backup, which still holds the original.
void LeaveReplaced(const std::string& file, const std::string& backup, RestoreReport& report) {
  std::string warning = file + " a changé depuis l'installation : laissé tel quel";
  if (!backup.empty()) warning += ", avec sa sauvegarde " + backup;
  report.LeaveAsFound(file, warning);
}

// True when the installed `folder` holds a file the installation did not write there, or one that
// changed since, as after a feature update of the system: the folder is someone else's and stays,
// with its backup, and a warning names its first differences.
bool FolderReplacedSince(FileSystem& system, const FileRecord& record, const std::string& folder,
                         RestoreReport& report) {
  if (!PathExists(system, folder)) return false;
  const std::vector<std::string> differences = TreeDifferences(system, record, folder);
  if (differences.empty()) return false;
  LeaveReplaced(folder, folder + kBackupSuffix, report);
  std::string first;
  for (size_t at = 0; at < differences.size() && at < kDifferencesNamed; ++at)
    first += (at ? " ; " : "") + differences[at];
  report.outcome().warnings.push_back("premières différences : " + first);
  return true;
}

// The installed file is set aside, not replaced: the system lets a library it has loaded be
// renamed, never overwritten. The original is then back at once, and only the deletion of the
// aside copy, a name nobody else uses, may wait for the restart: nothing that waits can ever
// undo a later installation.
void RestoreSystemFile(FileSystem& system, Processes& programs, MessagePump& window,
                       Reporter& boxes, const std::string& file, const FileRecord& record,
                       RestoreReport& report) {
  const std::string backup = file + kBackupSuffix;
  if (PathExists(system, backup)) {
    const bool installed = PathExists(system, file);
    if (installed && !HoldsWhatWasWritten(system, record, file)) {
      LeaveReplaced(file, backup, report);
      return;
    }
    if (installed) TakeOver(programs, window, boxes, file, report);
    TakeOver(programs, window, boxes, backup, report);
    const std::string aside = installed ? MoveAside(system, file) : "";
    PutInPlace(system, backup, file, aside);
    report.Done("Fichier système rétabli : " + file);
    if (installed) DeleteAside(system, aside, report);
  }
  PutSecurityBack(system, file, report);
}

// Deletes a file the installation added where nothing was, or puts the empty file back that was
// there.
void RemoveAddedFile(FileSystem& system, Processes& programs, MessagePump& window, Reporter& boxes,
                     const std::string& file, const FileRecord& record, RestoreReport& report) {
  if (!PathExists(system, file)) return;
  if (!HoldsWhatWasWritten(system, record, file)) {
    LeaveReplaced(file, "", report);
    return;
  }
  TakeOver(programs, window, boxes, file, report);
  const std::string aside = MoveAside(system, file);
  if (record.empty.count(file)) system.OpenToAppend(file, true);
  report.Done("Fichier ajouté par l'installation supprimé : " + file);
  DeleteAside(system, aside, report);
}

// Removes the folders the installation created, deepest first, once they are empty. One that
// still holds a copy set aside goes at the restart, after it; one that holds anything else stays.
void RemoveCreatedFolders(FileSystem& system, const FileRecord& record, RestoreReport& report) {
  for (auto folder = record.created_folders.rbegin(); folder != record.created_folders.rend();
       ++folder) {
    try {
      if (!PathExists(system, *folder)) continue;
      if (EntriesOf(system, *folder).empty()) {
        system.RemoveFolder(*folder);
        report.Done("Dossier ajouté par l'installation supprimé : " + *folder);
      } else if (WaitsForRestart(report.outcome(), *folder)) {
        DeleteFolderAtRestart(system, *folder);
      }
    } catch (const SystemError& failure) {
      report.Fail("dossier non supprimé", *folder, failure.what());
    }
  }
}

// Adds to `copies` each copy set aside beside `path` (no final backslash) whose deletion is not
// pending for the restart.
void AddAsideCopiesOf(FileSystem& system, const std::string& path,
                      std::vector<std::string>& copies) {
  const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
  FindData data;
  std::unique_ptr<FileSearch> search = system.FindFirst(path + kAsideSuffix + "*", data);
  for (bool more = search != nullptr; more; more = search->Next(data)) {
    if (!DeletedAtRestart(system, folder + data.name)) copies.push_back(folder + data.name);
  }
}

}  // namespace

std::vector<std::string> LeftAsideCopies(FileSystem& system, Environment& process,
                                         const RunState& state, bool is_64_bit,
                                         const std::string& program) {
  std::vector<std::string> copies;
  // Through NativeFiles, system32_folder names the native 64-bit system folder.
  NativeFiles native(system, process);
  for (const std::string& file : SystemFiles(state, is_64_bit))
    AddAsideCopiesOf(native, file, copies);
  for (const std::string& folder : MailFolders(state, is_64_bit))
    AddAsideCopiesOf(system, folder, copies);
  AddAsideCopiesOf(system, program, copies);
  return copies;
}

void DeleteLeftAsideCopies(FileSystem& system, Environment& process, const RunState& state,
                           bool is_64_bit, const std::string& program, RestoreReport& report) {
  NativeFiles native(system, process);
  for (const std::string& copy : LeftAsideCopies(system, process, state, is_64_bit, program)) {
    if (!FolderExists(native, copy + "\\")) {
      DeleteAside(native, copy, report);
      continue;
    }
    for (const Failure& left : RemoveTree(native, copy))
      report.outcome().Fail(left.what, left.reason);
  }
}

std::vector<Failure> RemoveTree(FileSystem& system, const std::string& path) {
  std::vector<Failure> left;
  const int64_t attributes = system.PathAttributes(path);
  if (attributes >= 0) RemoveEntry(system, {path, uint32_t(attributes)}, left);
  return left;
}

std::string MoveAside(FileSystem& system, const std::string& path) {
  int number = 1;
  while (PathExists(system, path + kAsideSuffix + std::to_string(number))) ++number;
  const std::string aside = path + kAsideSuffix + std::to_string(number);
  system.Rename(path, aside);
  return aside;
}

bool DeleteAsideNowOrAtRestart(FileSystem& system, const std::string& aside) {
  try {
    ClearReadOnly(system, aside);
    system.RemoveFile(aside);
    return true;
  } catch (const SystemError&) {
    // Whatever keeps it now, such as a program that loaded it, lets it go at the restart.
  }
  MoveAtRestartOnce(system, aside, "");
  return false;
}

void DeleteAside(FileSystem& system, const std::string& aside, RestoreReport& report) {
  try {
    if (!DeleteAsideNowOrAtRestart(system, aside)) report.Schedule(aside);
  } catch (const SystemError& failure) {
    report.Fail("fichier non supprimé", aside, failure.what());
  }
}

int64_t TreeSize(FileSystem& system, const std::string& folder) {
  int64_t size = 0;
  for (const Entry& entry : EntriesOf(system, folder)) {
    if (IsLink(entry.attributes)) continue;
    size +=
        IsFolder(entry.attributes) ? TreeSize(system, entry.path) : system.FileLength(entry.path);
  }
  return size;
}

bool HasFolderBackups(FileSystem& system, const RunState& state, bool is_64_bit) {
  for (const std::string& folder : MailFolders(state, is_64_bit)) {
    if (FolderExists(system, folder + kBackupSuffix + "\\")) return true;
  }
  return false;
}

void RestoreProgramFolders(FileSystem& system, const RunState& state, bool is_64_bit,
                           const FileRecord& record, RestoreReport& report) {
  for (const std::string& folder : MailFolders(state, is_64_bit)) {
    const std::string backup = folder + kBackupSuffix;
    if (!FolderExists(system, backup + "\\")) continue;
    try {
      if (FolderReplacedSince(system, record, folder, report)) continue;
      // Set aside whole first: a file in use then stops the renaming before anything is gone,
      // never the deletion half-way.
      const std::string aside = PathExists(system, folder) ? MoveAside(system, folder) : "";
      PutInPlace(system, backup, folder, aside);
      report.Done("Dossier rétabli : " + folder);
      if (aside.empty()) continue;
      for (const Failure& left : RemoveTree(system, aside))
        report.outcome().Fail(left.what, left.reason);
    } catch (const SystemError& failure) {
      report.Fail("dossier non rétabli", folder, failure.what());
    }
  }
}

bool HasSystemFileBackups(FileSystem& system, Environment& process, const RunState& state,
                          bool is_64_bit) {
  // Through NativeFiles, system32_folder names the native 64-bit system folder.
  NativeFiles native(system, process);
  for (const std::string& file : SystemFiles(state, is_64_bit)) {
    if (PathExists(native, file + kBackupSuffix) || PathExists(native, SavedSecurityPath(file)))
      return true;
  }
  return false;
}

void CheckSavedSecurities(FileSystem& system, Environment& process, const RunState& state,
                          bool is_64_bit, RestoreReport& report) {
  // Through NativeFiles, system32_folder names the native 64-bit system folder.
  NativeFiles native(system, process);
  for (const std::string& file : SystemFiles(state, is_64_bit))
    CheckSavedSecurity(native, file, report);
}

void RestoreSystemFiles(ReplacingFiles system, Reporter& boxes, const RunState& state,
                        bool is_64_bit, const FileRecord& record, RestoreReport& report) {
  // Through NativeFiles, system32_folder names the native 64-bit system folder.
  NativeFiles native(system.files, system.process);
  for (const std::string& file : SystemFiles(state, is_64_bit)) {
    try {
      if (record.Added(file))
        RemoveAddedFile(native, system.programs, system.window, boxes, file, record, report);
      else
        RestoreSystemFile(native, system.programs, system.window, boxes, file, record, report);
    } catch (const SystemError& failure) {
      report.Fail("fichier non rétabli", file, failure.what());
    }
  }
  RemoveCreatedFolders(native, record, report);
}

}  // namespace movrix
