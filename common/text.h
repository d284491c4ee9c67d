// Small text helpers shared by the installer's modules.
#pragma once

#include <cctype>
#include <initializer_list>
#include <optional>
#include <string>

#include "common/box_titles.h"

namespace movrix {

inline constexpr const char* kCrLf = "\r\n";

// `count` copies of `c`: the framing lines of the reports.
inline std::string Repeat(char c, size_t count) {
  return std::string(count, c);
}

// `text` with its ASCII letters in lower case: the form under which the system compares names.
inline std::string AsciiLowerCase(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Each of `lines` followed by CR LF.
template <typename Lines>
std::string JoinLines(const Lines& lines) {
  std::string text;
  for (const auto& line : lines) text += std::string(line) + kCrLf;
  return text;
}
inline std::string JoinLines(std::initializer_list<std::string> lines) {
  return JoinLines<std::initializer_list<std::string>>(lines);
}

inline bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return AsciiLowerCase(a) == AsciiLowerCase(b);
}

inline bool StartsWithIgnoringCase(const std::string& text, const std::string& start) {
  return text.size() >= start.size() && EqualsIgnoringCase(text.substr(0, start.size()), start);
}

// `bytes` as lower-case hexadecimal digits: how records keep texts and data, so that no byte can
// break their lines.
inline std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) hex += {kDigits[byte >> 4], kDigits[byte & 0xF]};
  return hex;
}

// The bytes that HexOf gave `hex`; nullopt when `hex` is not such digits.
inline std::optional<std::string> BytesOfHex(const std::string& hex) {
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  if (hex.size() % 2) return std::nullopt;
  std::string bytes;
  for (size_t at = 0; at < hex.size(); at += 2) {
    const int high = digit(hex[at]), low = digit(hex[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += char(high << 4 | low);
  }
  return bytes;
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace movrix
