// Small stand-in for the installer, used only to check the Wine test tools.
// Like the installer it is a 32-bit ANSI program that:
//   - asks a Yes/No question, then shows one box per stock icon and one
//     without icon (answered with the driver's default, OK);
//   - starts "%comspec% /c takeown ..." and "... icacls ..." without waiting;
//   - writes a few values into the 64-bit registry view;
//   - writes a file with an accented name at C:\movrix-selftest\;
//   - shows a window of class MovrixFrmCopy, captioned with the system
//     language id, with controls 101..112, where 102 is the OK button
//     ending the program.
// Exit code: 10 + the number of Yes answers (0 or 1), so a test can tell the
// answer reached the program.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const char kTitle[] = "Movrix18";
int g_exit_code = 0;

void StartCommand(const std::string& args) {
  char comspec[MAX_PATH] = {};
  GetEnvironmentVariableA("comspec", comspec, MAX_PATH);
  std::string line = std::string(comspec) + " /c " + args;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}

void WriteRegistry() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\MovrixSelftest", 0, nullptr, 0, 0x13F, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  const char text[] = "Système d'exploitation";
  RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  const char expand[] = "%ProgramFiles%\\Windows Mail\\WinMail.exe";
  RegSetValueExA(key, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand),
                 sizeof expand);
  DWORD number = 0x12345678;
  RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof number);
  const BYTE bytes[] = {0x01, 0x00, 0xFF};
  RegSetValueExA(key, "Bytes", 0, REG_BINARY, bytes, sizeof bytes);
  const char def[] = "default";
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(def), sizeof def);
  RegCloseKey(key);
}

void WriteAccentedFile() {
  CreateDirectoryA("C:\\movrix-selftest", nullptr);
  FILE* f = std::fopen("C:\\movrix-selftest\\été.txt", "wb");
  if (!f) return;
  std::fputs("contenu accentué\r\n", f);
  std::fclose(f);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wparam) == 102 && HIWORD(wparam) == BN_CLICKED) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(g_exit_code);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

void AddControl(HWND parent, const char* cls, const char* text, DWORD style, int id, int x, int y,
                int w, int h) {
  CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                  nullptr);
}

HWND CreateMainWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "MovrixFrmCopy";
  RegisterClassA(&wc);
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
  RECT r = {0, 0, 783, 362};
  AdjustWindowRect(&r, style, FALSE);
  int w = r.right - r.left, h = r.bottom - r.top;
  char caption[64];
  std::snprintf(caption, sizeof caption, "Movrix18 - selftest %04X", GetSystemDefaultLangID());
  HWND hwnd = CreateWindowExA(
      WS_EX_DLGMODALFRAME, "MovrixFrmCopy", caption, style, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
      (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr, instance, nullptr);
  AddControl(hwnd, "BUTTON", "", BS_GROUPBOX, 101, 10, 4, 762, 353);
  AddControl(hwnd, "BUTTON", "OK", BS_PUSHBUTTON | WS_TABSTOP, 102, 210, 297, 81, 33);
  AddControl(hwnd, "EDIT", "OK pour quitter", ES_READONLY, 103, 610, 337, 133, 19);
  AddControl(hwnd, "EDIT", "Toutes les opérations ont été effectuées", ES_READONLY, 104, 34, 337,
             433, 19);
  AddControl(hwnd, "BUTTON", "Système d'exploitation", BS_GROUPBOX, 105, 21, 78, 291, 100);
  AddControl(hwnd, "EDIT", "Windows 10\r\n64 bits\tx64", ES_MULTILINE | WS_DISABLED, 106, 33, 98,
             267, 73);
  AddControl(hwnd, "EDIT", "ligne 1\r\nligne 2\\fin", ES_MULTILINE | WS_HSCROLL | WS_VSCROLL, 107,
             322, 84, 436, 249);
  AddControl(hwnd, "EDIT", "", ES_MULTILINE, 108, 325, 54, 373, 27);
  AddControl(hwnd, "STATIC", "Movrix18", 0, 109, 18, 20, 120, 28);
  AddControl(hwnd, "STATIC", "Utilitaire d'installation", 0, 110, 322, 21, 433, 13);
  AddControl(hwnd, "STATIC", "", SS_BLACKFRAME, 111, 18, 188, 167, 147);
  AddControl(hwnd, "STATIC", "", 0, 112, 322, 34, 433, 13);
  return hwnd;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int answer = MessageBoxA(nullptr, "Voulez-vous continuer ?\r\nDeuxième ligne", kTitle,
                           MB_YESNO | MB_ICONQUESTION);
  g_exit_code = 10 + (answer == IDYES ? 1 : 0);
  MessageBoxA(nullptr, "critique", "Erreur", MB_OK | MB_ICONHAND);
  MessageBoxA(nullptr, "information", kTitle, MB_OK | MB_ICONASTERISK);
  MessageBoxA(nullptr, "avertissement", kTitle, MB_OK | MB_ICONEXCLAMATION);
  MessageBoxA(nullptr, "sans icône", kTitle, MB_OK);

  StartCommand("takeown /a /f \"C:\\x y\\z.txt\"");
  StartCommand("icacls \"C:\\x y\\z.txt\" /grant *S-1-5-32-544:F");
  WriteRegistry();
  WriteAccentedFile();

  HWND hwnd = CreateMainWindow(instance);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
