// Stand-in for a system command that Wine lacks or only pretends to run
// (takeown.exe, icacls.exe), seeded into every prefix template: the main job, the benchmark and
// the tests all run the installer, which starts both. It records how it was called and succeeds:
// one line "<exe name> <command line>" appended to C:\movrix_commands.log.
// Several copies run at once (the installer does not wait for the copy's commands): they take
// turns through a mutex, and each writes its line whole at the end it finds, so that no line is
// lost or cut whatever the file system makes of simultaneous appends.
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

void AppendToLog(const std::string& line) {
  // A reader (the tests) may hold the file for a moment; retry for as long as a loaded machine
  // may make it.
  for (int attempt = 0; attempt < 3000; ++attempt) {
    HANDLE log = CreateFileA("C:\\movrix_commands.log", GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      SetFilePointer(log, 0, nullptr, FILE_END);
      WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(log);
      return;
    }
    Sleep(10);
  }
}

}  // namespace

int main() {
  HANDLE turn = CreateMutexA(nullptr, FALSE, "movrix_commands_log");
  WaitForSingleObject(turn, INFINITE);  // abandoned by a copy that died is still ours to take
  AppendToLog(ModuleFileName() + " " + GetCommandLineA() + "\r\n");
  ReleaseMutex(turn);
  CloseHandle(turn);
  return 0;  // the real command would not fail either
}
