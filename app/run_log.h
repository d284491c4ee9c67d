// The log of a run, for those who deploy the installer without watching it: UTF-8 text with a
// byte-order mark (so that Notepad shows the accents), appended to a file, one line at a time.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

class RunLog {
 public:
  // A log appended to `path`; with an empty path, a log that keeps nothing.
  RunLog(System& system, std::string path) : system_(system), path_(std::move(path)) {}

  // Appends `text` and CR LF. A log that cannot be written never stops the installation.
  void Line(const std::string& text);

 private:
  System& system_;
  std::string path_;
  bool started_ = false;
};

}  // namespace movrix
