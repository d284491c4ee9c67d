#include "files/file_security.h"

#include <optional>
#include <vector>

#include "common/sealed_record.h"
#include "common/text.h"
#include "files/backup.h"
#include "files/file_exists.h"

namespace movrix {
namespace {

constexpr const char* kSecuritySuffix = ".droits";
constexpr const char* kRecordKind = "droits d'origine";
// The bytes of a record's only line, or nullopt when the record is not one of ours whole.
std::optional<std::string> Bytes(const std::string& record) {
  const std::optional<std::vector<std::string>> lines = UnsealRecord(kRecordKind, record);
  if (!lines || lines->size() != 1) return std::nullopt;
  return BytesOfHex(lines->front());
}

}  // namespace

std::string SavedSecurityPath(const std::string& file) {
  return file + kBackupSuffix + kSecuritySuffix;
}

void SaveSecurityOnce(FileSystem& system, const std::string& file) {
  // The same test as the backup's: an empty file counts as missing on either side.
  if (HasContent(system, file + kBackupSuffix) || !HasContent(system, file)) return;
  if (PathExists(system, SavedSecurityPath(file))) return;
  WriteRecordFile(system, SavedSecurityPath(file),
                  SealRecord(kRecordKind, {HexOf(system.FileSecurity(file))}));
}

void CheckSavedSecurity(FileSystem& system, const std::string& file, RestoreReport& report) {
  const std::string saved = SavedSecurityPath(file);
  try {
    if (PathExists(system, saved) && !Bytes(system.ReadWholeFile(saved)))
      report.Fail("enregistrement endommagé", saved, "");
  } catch (const SystemError& failure) {
    report.Fail("enregistrement illisible", saved, failure.what());
  }
}

void PutSecurityBack(FileSystem& system, const std::string& file, RestoreReport& report) {
  const std::string saved = SavedSecurityPath(file);
  try {
    // A save that stopped before its record was whole changed nothing on the file, but may have
    // left its record under the passing name.
    if (!PathExists(system, saved)) return RemoveRecordFile(system, saved);
    const std::optional<std::string> descriptor = Bytes(system.ReadWholeFile(saved));
    if (!descriptor) return report.Fail("droits d'origine illisibles, non rétablis", file, saved);
    system.PutFileSecurity(file, *descriptor);
    RemoveRecordFile(system, saved);
  } catch (const SystemError& failure) {
    report.Fail("propriétaire et droits d'origine non rétablis", file, failure.what());
  }
}

}  // namespace movrix
