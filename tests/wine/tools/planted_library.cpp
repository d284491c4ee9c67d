// A library planted beside the installer under the name of a system library (built as advpack.dll
// and as msimg32.dll). Each time it is loaded it adds a line to C:\planted-<its file name>.txt:
// "start" when the loader took it for an import of the program, before WinMain ran (the system
// then passes a non-null reserved argument), "later" when it was loaded on demand.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(instance, path, MAX_PATH);
    std::string name = path;
    name = name.substr(name.find_last_of('\\') + 1);
    HANDLE marker = CreateFileA(("C:\\planted-" + name + ".txt").c_str(), FILE_APPEND_DATA, 0,
                                nullptr, OPEN_ALWAYS, 0, nullptr);
    const std::string line = reserved ? "start\r\n" : "later\r\n";
    DWORD written = 0;
    WriteFile(marker, line.data(), DWORD(line.size()), &written, nullptr);
    CloseHandle(marker);
  }
  return TRUE;
}
