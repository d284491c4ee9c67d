// Small text helpers shared by the installer's modules.
#pragma once

#include <string>

namespace movrix {

inline constexpr const char* kCrLf = "\r\n";

// The title of a message box that names no procedure.
inline constexpr const char* kProgramTitle = "Movrix18";

// `count` copies of `c`: the framing lines of the reports.
inline std::string Repeat(char c, size_t count) {
  return std::string(count, c);
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace movrix
