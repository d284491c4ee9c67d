// The block of memory the test driver lays in the program's address space
// for the font probe (fontprobe.dll): the driver writes the main window in
// it, the probe's ProbeFonts thread fills in the font of every control below
// that window, and the driver reads the block back. Both sides are 32-bit
// MinGW builds, so the layout is the same in both.
#pragma once

#include <windows.h>

namespace fontprobe {

// The export the driver starts as a thread in the program, with the remote
// FontReport as its parameter. Returns 0 when every control was read.
constexpr char kProbeExport[] = "ProbeFonts";

// More controls than a window of the installer holds; the rest are counted
// in FontReport::found but not described.
constexpr int kMaxControls = 64;

struct ControlFont {
  LONG id;        // GetDlgCtrlID
  LONG has_font;  // 0 when WM_GETFONT answered NULL (the control draws with the system font)
  LONG height;    // LOGFONTW of the control's font; zero when has_font is 0
  LONG weight;
  LONG italic;
  WCHAR face[LF_FACESIZE];
};

struct FontReport {
  HWND window;  // in: the window whose descendants are read
  LONG found;   // out: descendants found, possibly more than kMaxControls
  LONG unread;  // out: controls whose font handle could not be read
  ControlFont controls[kMaxControls];
};

}  // namespace fontprobe
