// The two existence tests: a file with content, a folder.
#include "files/file_exists.h"

#include "common/guard.h"
#include "common/text.h"

namespace movrix {
namespace {

// Required: an empty file raised no error, so its box is shown without any text.
constexpr const char* kNoErrorDescription = "";
// The attributes of a file that has none of the others.
constexpr uint32_t kAttributeNormal = 0x80;

}  // namespace

void RequireFileContent(FileSystem& system, const std::string& path) {
  if (system.FileLength(path) == 0) throw SystemError(kNoErrorDescription);
}

bool HasContent(FileSystem& system, const std::string& path) {
  return Guarded(
      [&] {
        RequireFileContent(system, path);
        return true;
      },
      [](const std::string&) { return false; });
}

void ClearReadOnly(FileSystem& system, const std::string& path) {
  const int64_t attributes = system.PathAttributes(path);
  if (attributes < 0 || !(attributes & kAttributeReadOnly)) return;
  const uint32_t others = uint32_t(attributes) & ~(kAttributeReadOnly | kAttributeDirectory);
  system.SetPathAttributes(path, others ? others : kAttributeNormal);
}

bool FolderExists(FileSystem& system, const std::string& path) {
  const int64_t attributes = system.PathAttributes(path);
  return attributes >= 0 && (attributes & kAttributeDirectory) != 0;
}

}  // namespace movrix
