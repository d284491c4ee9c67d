// The program's version, fixed in the executable, in the two forms the system reads it: dotted
// for Programs and Features and the caption, with commas for an Active Setup component.
#pragma once

#include <string>

namespace movrix {

inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 18;
inline constexpr int kVersionRevision = 1;

// The version's four numbers joined by `separator`: "2.18.0.1", or "2,18,0,1".
inline std::string VersionText(char separator = '.') {
  const std::string dot(1, separator);
  return std::to_string(kVersionMajor) + dot + std::to_string(kVersionMinor) + dot + "0" + dot +
         std::to_string(kVersionRevision);
}

}  // namespace movrix
