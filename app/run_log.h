// The log of a run, for those who deploy the installer without watching it: UTF-8 text with a
// byte-order mark (so that Notepad shows the accents), appended to one file opened once, at the
// start, for the whole run.
//
// The installer runs elevated, often as SYSTEM, and a log folder such as C:\Windows\Temp lets
// ordinary users create files. So the log is never written through a link: a file that is a link,
// or that has other names (a hard link to some other file), or a folder that is a link or does not
// exist, is refused, and the run does not start.
#pragma once

#include <memory>
#include <string>

#include "platform/system.h"

namespace movrix {

// How each run's part of a log begins: its start line.
inline constexpr const char* kRunStartLine = "Début : ";

class RunLog {
 public:
  // A log that keeps nothing until it is opened.
  RunLog() = default;

  // Opens the log at `path`, a relative path taken from the current folder, once each %NAME% of
  // an environment variable in it is replaced by its value. Returns an empty text when the log is
  // open, otherwise the French sentence that says why it cannot be used.
  std::string Open(System& system, const std::string& path);
  // Opens the log at the full path `path` as it is written, once it keeps only the last
  // `kept_runs` - 1 runs it holds, so that with this one it holds `kept_runs` at most. Returns as
  // Open does.
  std::string OpenKeepingRuns(System& system, const std::string& path, int kept_runs);
  // Opens a new log, in a file that did not exist yet, in `folder`:
  // Movrix18-<label><date>-<time>-<16 random hexadecimal digits>.log, drawn again while that name
  // is taken. Returns as Open does.
  std::string OpenNew(System& system, const std::string& folder, const std::string& label = "");

  // Appends `text` and CR LF to an open log; the first line written to an empty file starts with
  // the byte-order mark. A log that cannot be written never stops the installation.
  void Line(const std::string& text);
  // The full path of the open log; empty when none is open.
  const std::string& path() const { return path_; }

 private:
  // Opens the full path `path` as the log, or throws SystemError with why it cannot be used.
  void OpenOrThrow(System& system, const std::string& path, bool must_be_new);
  // Replaces the log at the full path `path` by its last `runs` runs, when it holds more. Throws
  // SystemError when it cannot be read or replaced.
  void DropOldRuns(System& system, const std::string& path, int runs);

  std::unique_ptr<AppendableFile> file_;
  bool needs_mark_ = false;
  std::string path_;
};

}  // namespace movrix
