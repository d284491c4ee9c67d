// What a phase lends the steps that must tell something the moment it happens, between the files
// they copy or the values they write, in the order it happens: those steps show nothing
// themselves, and the phase decides how it is told (a message box, or the log of a silent run).
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

class Reporter {
 public:
  virtual ~Reporter() = default;
  // Tells `text` under `title`, at once; the icon says how grave it is.
  virtual void Report(const std::string& title, const std::string& text, Icon icon) = 0;
};

}  // namespace movrix
