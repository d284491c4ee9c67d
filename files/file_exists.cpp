// The two existence tests: a file with content, a folder.
#include "files/file_exists.h"

#include "common/guard.h"
#include "common/text.h"

namespace movrix {
namespace {

// Required: an empty file raised no error, so its box is shown without any text.
constexpr const char* kNoErrorDescription = "";

}  // namespace

void RequireFileContent(System& system, const std::string& path) {
  if (system.FileLength(path) == 0) throw SystemError(kNoErrorDescription);
}

bool FileExists(System& system, const std::string& path) {
  return Guarded(
      [&] {
        RequireFileContent(system, path);
        return true;
      },
      [](const std::string&) { return false; });
}

bool FolderExists(System& system, const std::string& path) {
  const int64_t attributes = system.PathAttributes(path);
  return attributes >= 0 && (attributes & kAttributeDirectory) != 0;
}

}  // namespace movrix
