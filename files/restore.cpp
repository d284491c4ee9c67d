#include "files/restore.h"

#include <vector>

#include "files/backup.h"
#include "files/file_exists.h"
#include "files/launch_folders.h"
#include "files/restart_moves.h"
#include "files/set_rights.h"
#include "files/system_file_table.h"
#include "files/wow64_redirection_off.h"

namespace movrix {
namespace {

// Why the system refuses to replace a file it has loaded or opened, besides access denied.
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;

struct Entry {
  std::string path;
  uint32_t attributes;
};

// The entries of `folder` (no final backslash), without "." and "..".
std::vector<Entry> EntriesOf(System& system, const std::string& folder) {
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

void RemoveEntry(System& system, const Entry& entry) {
  if (IsFolder(entry.attributes) && !IsLink(entry.attributes)) {
    for (const Entry& child : EntriesOf(system, entry.path)) RemoveEntry(system, child);
  }
  if (IsFolder(entry.attributes))
    system.RemoveFolder(entry.path);
  else
    system.RemoveFile(entry.path);
}

bool InUse(uint32_t code) {
  return code == uint32_t(kErrorAccessDenied) || code == kErrorSharingViolation ||
         code == kErrorLockViolation;
}

bool Exists(System& system, const std::string& path) {
  return system.PathAttributes(path) >= 0;
}

// The "Windows Mail" folders of this system: Program Files, and Program Files (x86) on 64-bit.
std::vector<std::string> MailFolders(const RunState& state, bool is_64_bit) {
  std::vector<std::string> folders = {state.ProgramFilesFolder + kMailFolder};
  if (is_64_bit) folders.push_back(state.ProgramFilesX86Folder + kMailFolder);
  return folders;
}

// The destinations of this system's rows.
std::vector<std::string> SystemFiles(const RunState& state, bool is_64_bit) {
  std::vector<std::string> files;
  for (const SystemFileRow& row : kSystemFileRows) {
    if (row.system == BitsOf(is_64_bit))
      files.push_back(FolderOf(state, row.folder) + row.destination);
  }
  return files;
}

void RestoreSystemFile(System& system, const std::string& file, RestoreReport& report) {
  const std::string backup = file + kBackupSuffix;
  if (!Exists(system, backup)) return;
  // A failed rights step has shown its box; the move below tells whether it mattered.
  if (Exists(system, file)) SetRights(system, report.outcome(), file, true);
  SetRights(system, report.outcome(), backup, true);
  try {
    system.MoveReplacing(backup, file);
    report.Done("Fichier système rétabli : " + file);
    return;
  } catch (const SystemError& failure) {
    if (!InUse(failure.code())) return report.Fail("fichier non rétabli", file, failure.what());
  }
  try {
    MoveAtRestartOnce(system, backup, file);
    report.Schedule(file);
    report.Done("Fichier système en service, rétabli au prochain redémarrage : " + file);
  } catch (const SystemError& failure) {
    report.Fail("fichier non rétabli", file, failure.what());
  }
}

}  // namespace

void RemoveTree(System& system, const std::string& path) {
  const int64_t attributes = system.PathAttributes(path);
  if (attributes >= 0) RemoveEntry(system, {path, uint32_t(attributes)});
}

int64_t TreeSize(System& system, const std::string& folder) {
  int64_t size = 0;
  for (const Entry& entry : EntriesOf(system, folder)) {
    if (IsLink(entry.attributes)) continue;
    size +=
        IsFolder(entry.attributes) ? TreeSize(system, entry.path) : system.FileLength(entry.path);
  }
  return size;
}

bool HasFolderBackups(System& system, const RunState& state, bool is_64_bit) {
  for (const std::string& folder : MailFolders(state, is_64_bit)) {
    if (FolderExists(system, folder + kBackupSuffix + "\\")) return true;
  }
  return false;
}

void RestoreProgramFolders(System& system, const RunState& state, bool is_64_bit,
                           RestoreReport& report) {
  for (const std::string& folder : MailFolders(state, is_64_bit)) {
    const std::string backup = folder + kBackupSuffix;
    if (!FolderExists(system, backup + "\\")) continue;
    try {
      RemoveTree(system, folder);
      system.Rename(backup, folder);
      report.Done("Dossier rétabli : " + folder);
    } catch (const SystemError& failure) {
      report.Fail("dossier non rétabli", folder, failure.what());
    }
  }
}

bool HasSystemFileBackups(System& system, const RunState& state, bool is_64_bit) {
  // While the redirection is off, System32Folder names the native 64-bit system folder.
  Wow64RedirectionOff redirection(system);
  for (const std::string& file : SystemFiles(state, is_64_bit)) {
    if (Exists(redirection, file + kBackupSuffix)) return true;
  }
  return false;
}

void RestoreSystemFiles(System& system, const RunState& state, bool is_64_bit,
                        RestoreReport& report) {
  // The rows work through the switch, which shows their boxes with the redirection back on.
  Wow64RedirectionOff redirection(system);
  for (const std::string& file : SystemFiles(state, is_64_bit)) {
    try {
      RestoreSystemFile(redirection, file, report);
    } catch (const SystemError& failure) {
      report.Fail("fichier non rétabli", file, failure.what());
    }
  }
}

}  // namespace movrix
