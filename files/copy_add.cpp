// The replacement of one system file, with its one-time backup.
#include "files/copy_add.h"

#include "common/box_titles.h"
#include "common/guard.h"
#include "files/backup.h"
#include "files/file_exists.h"
#include "files/set_rights.h"

namespace movrix {
namespace {

// Renames `destination` to its backup name unless a backup exists; true when it did so now.
bool BackUpOnce(FileSystem& system, const std::string& destination) {
  const std::string backup = destination + kBackupSuffix;
  // An empty file counts as missing on either side.
  if (HasContent(system, backup) || !HasContent(system, destination)) return false;
  system.Rename(destination, backup);
  return true;
}

void ReplaceKeepingBackup(FileSystem& system, const std::string& source,
                          const std::string& destination, bool back_up) {
  const bool backed_up_now = back_up && BackUpOnce(system, destination);
  try {
    // What is still there is an earlier installation's copy, which a read-only source left so.
    ClearReadOnly(system, destination);
    system.CopyFileOver(source, destination);
    ClearReadOnly(system, destination);
  } catch (const SystemError&) {
    // A copy that broke off may have left part of the new file: the original goes over it.
    if (backed_up_now) system.MoveReplacing(destination + kBackupSuffix, destination);
    throw;
  }
}

}  // namespace

bool CopyAdd(ReplacingFiles replacing, Outcome& outcome, Reporter& boxes, const std::string& source,
             const std::string& destination, bool back_up) {
  FileSystem& system = replacing.files;
  return Guarded(
      [&] {
        // A system file is in use by the system: its rights must be in place before it is moved.
        if (!AwaitRightsOrReport(replacing.programs, replacing.window, boxes, outcome, destination))
          return false;
        ReplaceKeepingBackup(system, source, destination, back_up);
        return true;
      },
      [&](const std::string& description) {
        boxes.Report(kSystemFileTitle, "Copie de " + source + " vers " + destination,
                     Icon::kCritical);
        outcome.Fail(destination + " n'a pas été remplacé", description);
        return false;
      });
}

}  // namespace movrix
