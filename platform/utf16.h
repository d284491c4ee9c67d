// UTF-8, the program's own texts, to and from UTF-16, the system's: the Win32 side converts every
// text at its edge, and the registry's text values travel as the UTF-16LE bytes the system keeps.
// Pure functions, with no system behind them.
#pragma once

#include <string>

namespace movrix {

// The character that stands for a byte sequence that is not UTF-8, or a lone surrogate.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point that starts at `text[at]`, advancing `at` past it.
inline char32_t NextCodePoint(const std::string& text, size_t& at) {
  const unsigned char lead = static_cast<unsigned char>(text[at++]);
  int trailing = 0;
  if (lead >= 0xC2 && lead < 0xE0)
    trailing = 1;
  else if (lead >= 0xE0 && lead < 0xF0)
    trailing = 2;
  else if (lead >= 0xF0 && lead < 0xF5)
    trailing = 3;
  else if (lead >= 0x80)
    return kReplacementCharacter;
  char32_t code = trailing == 0 ? lead : lead & (0x3F >> trailing);
  for (int i = 0; i < trailing; ++i) {
    if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80)
      return kReplacementCharacter;
    code = code << 6 | (static_cast<unsigned char>(text[at++]) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  const bool surrogate = code >= 0xD800 && code < 0xE000;
  if (code < kSmallest[trailing] || code > 0x10FFFF || surrogate) return kReplacementCharacter;
  return code;
}

inline std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string wide;
  for (size_t at = 0; at < text.size();) {
    const char32_t code = NextCodePoint(text, at);
    if (code < 0x10000) {
      wide += char16_t(code);
    } else {
      wide += char16_t(0xD800 + ((code - 0x10000) >> 10));
      wide += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return wide;
}

inline void AppendUtf8(char32_t code, std::string& text) {
  if (code < 0x80) {
    text += char(code);
  } else if (code < 0x800) {
    text += char(0xC0 | code >> 6);
    text += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += char(0xE0 | code >> 12);
    text += char(0x80 | (code >> 6 & 0x3F));
    text += char(0x80 | (code & 0x3F));
  } else {
    text += char(0xF0 | code >> 18);
    text += char(0x80 | (code >> 12 & 0x3F));
    text += char(0x80 | (code >> 6 & 0x3F));
    text += char(0x80 | (code & 0x3F));
  }
}

inline std::string Utf8FromUtf16(const std::u16string& wide) {
  std::string text;
  for (size_t at = 0; at < wide.size(); ++at) {
    char32_t code = wide[at];
    const bool high = code >= 0xD800 && code < 0xDC00;
    const bool low_follows =
        high && at + 1 < wide.size() && wide[at + 1] >= 0xDC00 && wide[at + 1] < 0xE000;
    if (low_follows)
      code = 0x10000 + ((code - 0xD800) << 10) + (wide[++at] - 0xDC00);
    else if (code >= 0xD800 && code < 0xE000)
      code = kReplacementCharacter;
    AppendUtf8(code, text);
  }
  return text;
}

// The data of a REG_SZ or REG_EXPAND_SZ value holding `text`: UTF-16LE with its terminating null.
inline std::string RegSzBytes(const std::string& text) {
  std::string bytes;
  for (char16_t unit : Utf16FromUtf8(text) + u'\0') {
    bytes += char(unit & 0xFF);
    bytes += char(unit >> 8);
  }
  return bytes;
}

// The text a REG_SZ or REG_EXPAND_SZ value holds: its UTF-16LE data up to the first null, or to
// its end when the terminator is missing (an odd last byte is no character).
inline std::string RegSzText(const std::string& bytes) {
  std::u16string wide;
  for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
    const char16_t unit = char16_t(static_cast<unsigned char>(bytes[at]) |
                                   static_cast<unsigned char>(bytes[at + 1]) << 8);
    if (unit == u'\0') break;
    wide += unit;
  }
  return Utf8FromUtf16(wide);
}

}  // namespace movrix
