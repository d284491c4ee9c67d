// Runs a GUI program in the same Wine prefix as a user would meet it: answers its message boxes,
// reads its main window, presses its OK button, and writes what it saw to a transcript. The main
// job uses it to show the installer and keep its window, the benchmark to time the installer to
// its window, and the scenarios to check what it showed.
//
//   driver.exe <timeout-seconds> <transcript> <answers> <program.exe> [arguments...]
//
// <answers>: the buttons to press in the boxes, in order, comma-separated (yes, no, ok), or "-".
// A box left without an answer gets OK when it has one.
//
// Transcript: UTF-8, one tab-separated record per line; \, tab, CR and LF are escaped as \\, \t,
// \r, \n.
//   box      title text icon(shown|none) buttons answer
//   window   class caption rect(left,top,right,bottom) client(width,height)
//            milliseconds(from the start) peak-working-set(bytes, at that moment)
//   control  id class rect(in client coordinates) text
//   exit     code          timeout      error what
//   focus    id             (with MOVRIX_KEYS: the control that has the focus before each key)
// With MOVRIX_KEYS=<keys>, comma-separated (tab, return, escape), the driver closes the window by
// typing those keys into it instead of clicking OK.
// With MOVRIX_START_FOLDER=<folder>, the program starts in that folder instead of the driver's.
// With MOVRIX_SHOT_WAIT=<seconds>, before answering a box or pressing OK the driver creates
// "<transcript>.<n>.shown" (n counts from 1) and waits for "<transcript>.<n>.done", so that a
// screenshot can be taken from outside.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kOkButtonId = 102;  // Command1 of the installer's window
constexpr int kBoxTextId = 0xFFFF;
constexpr int kBoxIconId = 1088;
struct BoxButton {
  int id;
  const char* name;
};
constexpr BoxButton kBoxButtons[] = {{IDOK, "ok"}, {IDYES, "yes"}, {IDNO, "no"}};

std::string Escaped(const std::wstring& text) {
  std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr),
                   '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), int(utf8.size()), nullptr,
                      nullptr);
  utf8.pop_back();
  std::string out;
  for (char c : utf8) {
    const char* escape = c == '\\'   ? "\\\\"
                         : c == '\t' ? "\\t"
                         : c == '\r' ? "\\r"
                         : c == '\n' ? "\\n"
                                     : nullptr;
    if (escape)
      out += escape;
    else
      out += c;
  }
  return out;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!window ||
      !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
    return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), LPARAM(text.data()), SMTO_ABORTIFHUNG, 5000,
                      &copied);
  text.resize(copied);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::string Numbers(std::initializer_list<long> values) {
  std::string text;
  for (long value : values) text += (text.empty() ? "" : ",") + std::to_string(value);
  return text;
}

// "a,b" to {"a", "b"}; "-" is no item at all.
std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  if (list == "-") return items;
  std::string item;
  for (char c : list + ",") {
    if (c != ',') {
      item += c;
    } else {
      items.push_back(item);
      item.clear();
    }
  }
  return items;
}

class Driver {
 public:
  Driver(const std::wstring& transcript, std::vector<std::string> answers)
      : transcript_path_(transcript),
        answers_(std::move(answers)),
        out_(_wfopen(transcript.c_str(), L"wb")) {}
  ~Driver() {
    if (out_) std::fclose(out_);
  }

  int Run(std::wstring command_line, DWORD timeout_ms) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    wchar_t folder[MAX_PATH] = {};
    const bool in_folder = GetEnvironmentVariableW(L"MOVRIX_START_FOLDER", folder, MAX_PATH);
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        in_folder ? folder : nullptr, &startup, &started)) {
      Write({"error", "cannot start, error " + std::to_string(GetLastError())});
      return 4;
    }
    pid_ = started.dwProcessId;
    process_ = started.hProcess;
    CloseHandle(started.hThread);
    start_ = GetTickCount();
    while (WaitForSingleObject(started.hProcess, 20) == WAIT_TIMEOUT) {
      if (GetTickCount() - start_ > timeout_ms) {
        Write({"timeout"});
        TerminateProcess(started.hProcess, 255);
        return 3;
      }
      EnumWindows(VisitTopLevel, LPARAM(this));
    }
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    Write({"exit", std::to_string(code)});
    return 0;
  }

 private:
  static BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
  }

  static BOOL CALLBACK VisitTopLevel(HWND window, LPARAM self) {
    reinterpret_cast<Driver*>(self)->Visit(window);
    return TRUE;
  }

  void Visit(HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != pid_ || !IsWindowVisible(window) || window == handled_) return;
    const std::wstring kind = ClassOf(window);
    if (kind != L"#32770" && kind != L"MovrixFrmCopy") return;
    handled_ = window;
    const DWORD seen = GetTickCount() - start_;
    Sleep(200);  // let it finish drawing
    if (kind == L"#32770") return AnswerBox(window);
    ReadMainWindow(window, seen);
    WaitForScreenshot();
    char keys[64] = {};
    if (GetEnvironmentVariableA("MOVRIX_KEYS", keys, sizeof keys))
      Type(window, keys);
    else
      PostMessageW(GetDlgItem(window, kOkButtonId), BM_CLICK, 0, 0);
  }

  // Types each key into the control that has the focus, as the keyboard would.
  void Type(HWND main, const std::string& keys) {
    for (const std::string& key : Split(keys)) {
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
      Write({"focus", std::to_string(GetDlgCtrlID(info.hwndFocus))});
      const WPARAM vk = key == "tab" ? VK_TAB : key == "return" ? VK_RETURN : VK_ESCAPE;
      PostMessageW(info.hwndFocus, WM_KEYDOWN, vk, 1);
      PostMessageW(info.hwndFocus, WM_KEYUP, vk, LPARAM(0xC0000001));
      Sleep(300);
    }
  }

  void AnswerBox(HWND box) {
    std::string buttons, wanted = next_answer_ < answers_.size() ? answers_[next_answer_++] : "ok";
    HWND press = nullptr;
    for (const BoxButton& button : kBoxButtons) {
      HWND control = GetDlgItem(box, button.id);
      if (!control || !IsWindowVisible(control)) continue;
      buttons += (buttons.empty() ? "" : ",") + std::string(button.name);
      if (wanted == button.name) press = control;
    }
    // A box without an icon keeps its icon control, empty.
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(GetDlgItem(box, kBoxIconId), STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &icon);
    Write({"box", Escaped(TextOf(box)), Escaped(TextOf(GetDlgItem(box, kBoxTextId))),
           icon ? "shown" : "none", buttons, press ? wanted : "none"});
    WaitForScreenshot();
    // Posted, not sent: the click may bring the program's next box.
    if (press) PostMessageW(press, BM_CLICK, 0, 0);
  }

  void ReadMainWindow(HWND main, DWORD elapsed) {
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(process_, &memory, sizeof memory);
    RECT frame, client;
    GetWindowRect(main, &frame);
    GetClientRect(main, &client);
    Write({"window", Escaped(ClassOf(main)), Escaped(TextOf(main)),
           Numbers({frame.left, frame.top, frame.right, frame.bottom}),
           Numbers({client.right, client.bottom}), std::to_string(elapsed),
           std::to_string(memory.PeakWorkingSetSize)});
    std::vector<HWND> children;
    EnumChildWindows(main, CollectChild, LPARAM(&children));
    for (HWND child : children) {
      RECT r;
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
      Write({"control", std::to_string(GetDlgCtrlID(child)), Escaped(ClassOf(child)),
             Numbers({r.left, r.top, r.right, r.bottom}), Escaped(TextOf(child))});
    }
  }

  void WaitForScreenshot() {
    wchar_t seconds[16] = {};
    if (!GetEnvironmentVariableW(L"MOVRIX_SHOT_WAIT", seconds, 16)) return;
    const std::wstring marker = transcript_path_ + L"." + std::to_wstring(++shots_);
    CloseHandle(CreateFileW((marker + L".shown").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            0, nullptr));
    const DWORD start = GetTickCount();
    while (GetFileAttributesW((marker + L".done").c_str()) == INVALID_FILE_ATTRIBUTES &&
           GetTickCount() - start < DWORD(_wtoi(seconds)) * 1000)
      Sleep(50);
  }

  void Write(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + field;
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fflush(out_);  // what was seen stays, even if the driver is ended
  }

  std::wstring transcript_path_;
  std::vector<std::string> answers_;
  size_t next_answer_ = 0;
  FILE* out_;
  DWORD pid_ = 0;
  HANDLE process_ = nullptr;
  DWORD start_ = 0;
  HWND handled_ = nullptr;
  int shots_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) {
    std::fputs("usage: driver.exe <timeout-seconds> <transcript> <answers> <program> [args...]\n",
               stderr);
    return 2;
  }
  std::wstring command_line;
  for (int i = 4; i < argc; ++i)
    command_line += (i > 4 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
  const std::wstring answers = argv[3];
  Driver driver(argv[2], Split(std::string(answers.begin(), answers.end())));
  return driver.Run(command_line, DWORD(_wtoi(argv[1])) * 1000);
}
