#include "app/run_log.h"

#include "common/guard.h"
#include "common/text.h"

namespace movrix {
namespace {

constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

void RunLog::Line(const std::string& text) {
  if (path_.empty()) return;
  Guarded(
      [&] {
        // A new or empty file starts with the mark; an appended run goes on after the last one.
        std::string bytes = text + kCrLf;
        if (!started_ && system_.PathAttributes(path_) < 0) bytes = kUtf8ByteOrderMark + bytes;
        system_.AppendToFile(path_, bytes);
        started_ = true;
      },
      [](const std::string&) {});
}

}  // namespace movrix
