// Fake mail client: a process named WinMail.exe with one visible top-level window (minimised, so
// that it takes no focus), so tests can see whether the installer found it and how it ended it.
// Exit codes: 3 when its window was closed (WM_CLOSE), as after a polite request; whatever the
// terminating process chose when it was terminated. Started with /ignore-close, it ignores
// WM_CLOSE like a program stuck in a dialog, so that only termination ends it. It ends by itself
// after an hour at the latest (exit code 2), so a forgotten copy cannot keep a Wine prefix busy.
// Started with /ready=<path> (the last argument), it creates that file once its window is up, so
// that a test started from outside Wine knows when it runs. Started with /charger=<path> (a path
// without spaces), it first maps that library as the system does, so that the file is in use.
// Started with /lire=<path>, it holds that file open for reading as any user may, sharing it with
// other readers only.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

constexpr int kClosedOnRequest = 3;
constexpr int kOutlived = 2;
constexpr UINT_PTR kLifetimeTimer = 1;
bool ignore_close = false;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      if (!ignore_close) DestroyWindow(window);
      return 0;
    case WM_TIMER:
      PostQuitMessage(kOutlived);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(kClosedOnRequest);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  ignore_close = std::strstr(command_line, "/ignore-close") != nullptr;
  if (const char* library = std::strstr(command_line, "/charger=")) {
    const std::string path(library + 9, std::strcspn(library + 9, " "));
    if (!LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES)) return 1;
  }
  if (const char* file = std::strstr(command_line, "/lire=")) {
    // The path runs to the end of its argument, which the system quoted for its spaces.
    const std::string path(file + 6, std::strcspn(file + 6, "\""));
    if (CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                    nullptr) == INVALID_HANDLE_VALUE)
      return 1;
  }
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = "FakeWinMail";
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, "FakeWinMail", "Windows Mail", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                200, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;  // no display to show it on
  ShowWindow(window, SW_SHOWMINNOACTIVE);
  if (const char* ready = std::strstr(command_line, "/ready=")) {
    HANDLE marker = CreateFileA(ready + 7, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(marker);
  }
  SetTimer(window, kLifetimeTimer, 60 * 60 * 1000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return int(message.wParam);
}
