// Fake mail client: a windowless GUI process named WinMail.exe that does
// nothing but wait to be ended, so tests can see whether the installer
// found and terminated it. It exits by itself after an hour at the latest,
// so a forgotten copy cannot keep a Wine prefix busy for ever.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  for (int minute = 0; minute < 60; ++minute) Sleep(60 * 1000);
  return 0;
}
