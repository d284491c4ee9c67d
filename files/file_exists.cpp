// The two existence tests: a file with content, a folder.
#include "files/file_exists.h"

#include "common/guard.h"
#include "common/text.h"

namespace movrix {
namespace {

constexpr const char* kNoErrorDescription = "";

}  // namespace

bool FileExists(System& system, const std::string& path, bool show_message) {
  auto report = [&](const std::string& description) {
    if (show_message) system.ShowMessage(description, kProgramTitle, Buttons::kOk, Icon::kNone);
    return false;
  };
  return Guarded(
      [&] {
        if (system.FileLength(path) > 0) return true;
        // Required: an empty file raised no error, so its box is shown without any text.
        return report(kNoErrorDescription);
      },
      report);
}

bool FolderExists(System& system, const std::string& path) {
  const int64_t attributes = system.PathAttributes(path);
  return attributes >= 0 && (attributes & kAttributeDirectory) != 0;
}

}  // namespace movrix
