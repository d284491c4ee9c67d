// The floor of the copy phase: a GUI program, like the installer, that does only what copying the
// program trees cannot do without. For each file of WM_32 and WM_64 (beside it) it starts the two
// rights commands through the command interpreter, not awaited, letting its messages through
// after each, and makes one shell copy. Then it shows a window of the installer's class with an
// OK button, so that it is timed and closed exactly as the installer is.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <string>

namespace {

std::string Environment(const char* name) {
  char value[MAX_PATH] = {};
  GetEnvironmentVariableA(name, value, MAX_PATH);
  return value;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

void StartNotAwaited(const std::string& command) {
  std::string line = Environment("comspec") + " /c " + command;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION started{};
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &started)) {
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
  }
  PumpMessages();
}

void CopyTree(const std::string& source, const std::string& destination) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((source + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CopyTree(source + name + "\\", destination + name + "\\");
      continue;
    }
    const std::string quoted = "\"" + destination + name + "\"";
    StartNotAwaited("takeown /a /f " + quoted);
    StartNotAwaited("icacls " + quoted + " /grant *S-1-5-32-544:F");
    const std::string from = source + name + std::string(2, '\0');
    const std::string to = destination + name + std::string(2, '\0');
    SHFILEOPSTRUCTA copy{};
    copy.wFunc = FO_COPY;
    copy.pFrom = from.c_str();
    copy.pTo = to.c_str();
    copy.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    SHFileOperationA(&copy);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND || message == WM_CLOSE) PostQuitMessage(0);
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string folder = exe;
  folder.resize(folder.find_last_of('\\') + 1);
  std::string program_files = Environment("ProgramFiles");
  if (size_t x86 = program_files.find(" (x86)"); x86 != std::string::npos) program_files.erase(x86);
  CopyTree(folder + "WM_32\\", program_files + " (x86)\\");
  CopyTree(folder + "WM_64\\", program_files + "\\");

  WNDCLASSA window_class{};
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = "MovrixFrmCopy";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("MovrixFrmCopy", "Floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                              200, nullptr, nullptr, instance, nullptr);
  CreateWindowA("BUTTON", "OK", WS_CHILD | WS_VISIBLE, 10, 10, 80, 30, window, HMENU(102), instance,
                nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
