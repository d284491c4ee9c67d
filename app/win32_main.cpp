// The program's entry point on Windows: load the window (which runs the whole installation), then
// show it when start-up left it loaded.
#include <windows.h>

#include "app/frm_copy.h"
#include "platform/win32/win32_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  movrix::RestrictLibrarySearchToSystemFolder();
  movrix::Win32System system;
  movrix::FrmCopy form(system);
  form.Form_Load();
  form.Show();
  return 0;
}
