#include "files/file_security.h"

#include "files/backup.h"
#include "files/file_exists.h"

namespace movrix {
namespace {

constexpr const char* kSecuritySuffix = ".droits";
constexpr const char* kPartialSuffix = ".partiel";

bool Exists(System& system, const std::string& path) {
  return system.PathAttributes(path) >= 0;
}

// Writes `content` as the new file `path`, whole or not at all: a stop half-way leaves only the
// partial copy, which the next attempt starts afresh.
void WriteWhole(System& system, const std::string& path, const std::string& content) {
  const std::string partial = path + kPartialSuffix;
  if (Exists(system, partial)) system.RemoveFile(partial);
  system.OpenToAppend(partial, true)->Append(content);
  system.Rename(partial, path);
}

}  // namespace

std::string SavedSecurityPath(const std::string& file) {
  return file + kBackupSuffix + kSecuritySuffix;
}

void SaveSecurityOnce(System& system, const std::string& file) {
  // The same test as the backup's: an empty file counts as missing on either side.
  if (FileExists(system, file + kBackupSuffix, false) || !FileExists(system, file, false)) return;
  if (Exists(system, SavedSecurityPath(file))) return;
  WriteWhole(system, SavedSecurityPath(file), system.FileSecurity(file));
}

void PutSecurityBack(System& system, const std::string& file, RestoreReport& report) {
  const std::string saved = SavedSecurityPath(file);
  try {
    if (!Exists(system, saved)) return;
    system.PutFileSecurity(file, system.ReadWholeFile(saved));
    system.RemoveFile(saved);
  } catch (const SystemError& failure) {
    report.Fail("propriétaire et droits d'origine non rétablis", file, failure.what());
  }
}

}  // namespace movrix
