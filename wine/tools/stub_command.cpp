// Stand-in for a system command that Wine lacks or only pretends to run
// (takeown.exe, icacls.exe), seeded into every prefix template: the main job, the benchmark and
// the tests all run the installer, which starts both. It records how it was called and succeeds:
// one line "<exe name> <command line>" appended to C:\movrix_commands.log.
// Several copies may run at once, so each line goes out in a single write
// on a handle opened for appending only.
#include <windows.h>

#include <string>

namespace {

std::string ModuleFileName() {
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string full(path, n);
  size_t slash = full.find_last_of("\\/");
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

HANDLE OpenLogForAppend() {
  // Another copy may hold the file for a moment; retry briefly.
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE h = CreateFileA("C:\\movrix_commands.log", FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return h;
    Sleep(10);
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

int main() {
  std::string line = ModuleFileName() + " " + GetCommandLineA() + "\r\n";
  HANDLE log = OpenLogForAppend();
  if (log == INVALID_HANDLE_VALUE) return 0;  // the real command would not fail either
  DWORD written = 0;
  WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(log);
  return 0;
}
