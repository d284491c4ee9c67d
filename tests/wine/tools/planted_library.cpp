// A library planted beside the installer under the name of a system library (advpack.dll): if it
// is ever loaded, it leaves C:\planted-library.txt behind.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    CloseHandle(CreateFileA("C:\\planted-library.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
  }
  return TRUE;
}
