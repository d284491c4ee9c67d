// fontprobe.dll: reads the fonts of a window's controls from inside the
// process that owns them. Under Wine, WM_GETFONT does not answer across
// processes and a font handle means nothing outside its process, so the test
// driver loads this library into the program and starts ProbeFonts there as
// a thread of its own (not from DllMain: sending messages under the loader
// lock could deadlock with the program's UI thread).
#include <windows.h>

#include "font_report.h"

namespace {

using fontprobe::ControlFont;
using fontprobe::FontReport;

// The font a control draws its text with, as set by WM_SETFONT. The message
// goes to the program's UI thread, which may be busy: do not wait forever.
HFONT FontOf(HWND control) {
  DWORD_PTR font = 0;
  if (!SendMessageTimeoutW(control, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, 5000, &font))
    return nullptr;
  return reinterpret_cast<HFONT>(font);
}

// Fills `entry` for `control`; false when the control has a font handle that
// GetObjectW cannot describe.
bool Describe(HWND control, ControlFont& entry) {
  entry = ControlFont{};
  entry.id = GetDlgCtrlID(control);
  HFONT font = FontOf(control);
  if (!font) return true;
  LOGFONTW logfont = {};
  if (GetObjectW(font, sizeof logfont, &logfont) != sizeof logfont) return false;
  entry.has_font = 1;
  entry.height = logfont.lfHeight;
  entry.weight = logfont.lfWeight;
  entry.italic = logfont.lfItalic ? 1 : 0;
  lstrcpynW(entry.face, logfont.lfFaceName, LF_FACESIZE);
  return true;
}

bool OwnedByThisProcess(HWND window) {
  DWORD owner = 0;
  return IsWindow(window) && GetWindowThreadProcessId(window, &owner) &&
         owner == GetCurrentProcessId();
}

BOOL CALLBACK DescribeControl(HWND control, LPARAM param) {
  auto* report = reinterpret_cast<FontReport*>(param);
  LONG index = report->found++;
  if (index >= fontprobe::kMaxControls) return TRUE;
  if (!Describe(control, report->controls[index])) ++report->unread;
  return TRUE;
}

}  // namespace

// Thread procedure started by the driver with CreateRemoteThread; `param`
// points to a FontReport in this process whose `window` is set. Returns 0
// when every control was described, 1 when the window is not one of this
// process, 2 when some font could not be read.
extern "C" __declspec(dllexport) DWORD WINAPI ProbeFonts(LPVOID param) {
  auto* report = static_cast<FontReport*>(param);
  report->found = 0;
  report->unread = 0;
  if (!OwnedByThisProcess(report->window)) return 1;
  EnumChildWindows(report->window, DescribeControl, reinterpret_cast<LPARAM>(report));
  return report->unread ? 2 : 0;
}
