// The description of a fixed window as data: its controls, where they sit, how they look.
// The program's window is one such table; the Win32 side renders any table it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace movrix {

enum class ControlKind { kFrame, kButton, kTextBox, kLabel, kImage };

// A colour: the control's default, a system colour (COLOR_* index) or an RGB value.
struct Color {
  enum class Kind { kDefault, kSystem, kRgb };
  Kind kind = Kind::kDefault;
  uint32_t value = 0;
};
constexpr Color DefaultColor() {
  return {};
}
constexpr Color SystemColor(uint32_t index) {
  return {Color::Kind::kSystem, index};
}
constexpr Color Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return {Color::Kind::kRgb, uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16};
}
// System colour indexes used by the window.
inline constexpr uint32_t kColorWindow = 5;
inline constexpr uint32_t kColorWindowText = 8;
inline constexpr uint32_t kColorButtonFace = 15;

struct Font {
  const char* face;
  int centipoints;  // 825 for 8.25 pt
  bool bold;
};

// Behaviour flags of a control.
enum ControlFlags : unsigned {
  kNoFlags = 0,
  kMultiLine = 1 << 0,
  kBothScrollBars = 1 << 1,
  kDisabled = 1 << 2,
  kTabStop = 1 << 3,
  kAutoSize = 1 << 4,  // a label that takes the size of its caption
};

inline constexpr int kOnWindow = -1;  // container index of a control placed on the window
inline constexpr int kNoTabIndex = -1;

// One control. Positions and sizes are twips from the client origin of its container.
struct ControlSpec {
  const char* name;
  ControlKind kind;
  int container;  // index of the containing frame in the table, or kOnWindow
  int left, top, width, height;
  int tab_index;
  const char* text;  // caption or initial text; for an image, the name of its picture resource
  Font font;
  Color back, fore;
  unsigned flags;
};

struct FormLayout {
  int client_width, client_height;  // twips
  const ControlSpec* controls;
  size_t control_count;
  int icon_resource;
};

// What a window shows when it is displayed: its layout, its caption and each control's text.
struct FormContent {
  const FormLayout* layout;
  std::string caption;
  std::vector<std::string> texts;  // one per control of the layout
};

// Control identifiers of the rendered window: 101 for the first control of the table, and on.
inline constexpr int kFirstControlId = 101;

}  // namespace movrix
