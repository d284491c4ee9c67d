// Test driver: runs a GUI program inside the same Wine prefix, answers its
// message boxes, reads its main window and presses its OK button, writing a
// transcript of everything it saw.
//
//   driver.exe <timeout-seconds> <transcript-file> <program.exe> [yes|no|ok ...]
//
// Transcript: UTF-8, one record per line, tab-separated. The first field is
// the record kind, the others are name=value pairs. In values a backslash,
// tab, CR and LF are written as \\, \t, \r and \n.
//
//   box      title text icon buttons answer
//   window   class caption style exstyle rect client client_origin screen workarea
//   control  class id parent rect style exstyle enabled visible text
//   font     id set face height weight italic   (the LOGFONT of a control of the
//                                                main window; set=0: no font set)
//   fonts    status [what]       (read | failed; what: why they could not be read)
//   shot     of status               (box1, box2, ... | window; taken | missing)
//   click    id status               (posted | missing)
//   error    what                    (the driver gave up; the program is ended)
//   exit     code
//   timeout  seconds
//
// rect values are "left,top,right,bottom"; control rects are in the client
// coordinates of the main window, window rects in screen coordinates.
//
// When the environment variable MOVRIX_SHOT_WAIT holds a positive number of
// seconds, the driver creates "<transcript>.<what>.shown" once a message box
// (what = box1, box2, ...) or the main window (what = window) has been read,
// and waits up to that long for "<transcript>.<what>.shot-done", so that the
// harness outside Wine can take a screenshot before it is answered.
//
// Fonts: WM_GETFONT does not answer across processes under Wine, and a font
// handle means nothing outside its process. So once the main window has been
// read, the driver loads fontprobe.dll (beside driver.exe) into the program
// with a remote thread running LoadLibraryW, runs its ProbeFonts export as a
// second remote thread on a block of the program's memory (see
// fontprobe/font_report.h), reads the block back and unloads the library.
//
// Exit status: 0 when the program ended by itself, 2 for bad arguments,
// 3 on timeout, 4 when the driver had to give up (see the error record).
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "../fontprobe/font_report.h"

namespace {

constexpr wchar_t kMainClass[] = L"MovrixFrmCopy";
constexpr wchar_t kBoxClass[] = L"#32770";
constexpr int kOkButtonId = 102;
constexpr int kBoxTextId = 0xFFFF;
constexpr int kBoxIconIds[] = {1088, 20};  // Wine's message box, then Windows'
constexpr wchar_t kFontProbeDll[] = L"fontprobe.dll";
constexpr DWORD kRemoteThreadWaitMs = 10000;

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::string Escape(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Hex(DWORD value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(value));
  return buf;
}

std::string Rect(const RECT& r) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
  return buf;
}

std::string Pair(long a, long b) {
  return std::to_string(a) + "," + std::to_string(b);
}

class Transcript {
 public:
  explicit Transcript(const std::wstring& path) : file_(_wfopen(path.c_str(), L"wb")) {}
  ~Transcript() {
    if (file_) std::fclose(file_);
  }
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;
  bool ok() const { return file_ != nullptr; }

  // fields: name=value pairs, already escaped.
  void Write(const char* kind, const std::vector<std::string>& fields) {
    std::string line = kind;
    for (const auto& f : fields) line += "\t" + f;
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);  // keep what was seen even if the driver is killed
  }

 private:
  FILE* file_;
};

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

// WM_GETTEXT across processes, without hanging on a program that stopped
// answering.
std::wstring TextOf(HWND hwnd) {
  if (!hwnd) return {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
    return {};
  std::vector<wchar_t> buf(length + 1);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied))
    return {};
  return std::wstring(buf.data(), copied);
}

// GDI objects of this process, released on scope exit.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A 32-bit top-down bitmap selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<DWORD*>(bits);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool ok() const { return bits_ != nullptr; }
  HDC dc() const { return dc_; }
  std::vector<DWORD> Pixels() const {
    GdiFlush();
    return std::vector<DWORD>(bits_, bits_ + width_ * height_);
  }
  void SetPixels(const std::vector<DWORD>& pixels) {
    GdiFlush();
    std::copy(pixels.begin(), pixels.end(), bits_);
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  DWORD* bits_ = nullptr;
};

int ChannelDistance(DWORD a, DWORD b) {
  int worst = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    worst = std::max(worst, d < 0 ? -d : d);
  }
  return worst;
}

struct StockIcon {
  LPCWSTR id;
  const char* name;
};
const StockIcon kStockIcons[] = {{IDI_HAND, "critical"},
                                 {IDI_QUESTION, "question"},
                                 {IDI_ASTERISK, "information"},
                                 {IDI_EXCLAMATION, "warning"}};

// Names the stock icon shown by an icon control from what is on screen:
// each stock icon of this process is drawn on the control's background
// colour (its top-left pixel) and compared with the captured pixels. Needed because Wine
// gives every process its own handles for the stock icons.
std::string IconByPixels(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  POINT origin = {0, 0};
  ClientToScreen(control, &origin);
  int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return "unknown";

  Canvas screen(width, height);
  if (!screen.ok()) return "unknown";
  {
    ScreenDc source;
    BitBlt(screen.dc(), 0, 0, width, height, source.get(), origin.x, origin.y, SRCCOPY);
  }
  std::vector<DWORD> shown = screen.Pixels();

  const char* best = "unknown";
  size_t best_changed = shown.size(), second_changed = shown.size();
  for (const auto& stock : kStockIcons) {
    Canvas trial(width, height);
    trial.SetPixels(std::vector<DWORD>(shown.size(), shown[0]));
    DrawIconEx(trial.dc(), 0, 0, LoadIconW(nullptr, stock.id), width, height, 0, nullptr,
               DI_NORMAL);
    std::vector<DWORD> drawn = trial.Pixels();
    size_t changed = 0;
    for (size_t i = 0; i < drawn.size(); ++i) changed += ChannelDistance(drawn[i], shown[i]) > 32;
    if (changed < best_changed) {
      second_changed = best_changed;
      best_changed = changed;
      best = stock.name;
    } else if (changed < second_changed) {
      second_changed = changed;
    }
  }
  // Accept a clear winner only, allowing a few pixels of rounding.
  size_t slack = shown.size() / 50;
  bool clear = best_changed <= slack && second_changed > best_changed + slack;
  return clear ? best : "unknown";
}

// The icon of a message box: critical, question, information, warning,
// none (no visible icon) or unknown.
std::string IconOf(HWND box) {
  HWND icon = nullptr;
  for (int id : kBoxIconIds) {
    icon = GetDlgItem(box, id);
    if (icon) break;
  }
  if (!icon || !IsWindowVisible(icon)) return "none";
  DWORD_PTR handle = 0;
  SendMessageTimeoutW(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle);
  if (!handle) return "none";
  // On Windows the stock icons are shared between processes.
  for (const auto& stock : kStockIcons) {
    if (reinterpret_cast<DWORD_PTR>(LoadIconW(nullptr, stock.id)) == handle) return stock.name;
  }
  return IconByPixels(icon);
}

struct BoxButton {
  int id;
  const char* name;
};
constexpr BoxButton kBoxButtons[] = {
    {IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};

HWND ButtonOf(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  return button && IsWindowVisible(button) ? button : nullptr;
}

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisibleOfProcess(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->pid && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectAll(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> VisibleTopLevelWindows(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(CollectVisibleOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, CollectAll, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates an empty file and closes it at once, so the harness may act on it.
void TouchFile(const std::wstring& path) {
  Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
}

// ---------------------------------------------------------------- font probe

// Memory allocated in another process, freed with this object.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, size_t size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
  }
  ~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  void* get() const { return address_; }
  bool Write(const void* data, size_t size) {
    SIZE_T written = 0;
    return address_ && WriteProcessMemory(process_, address_, data, size, &written) &&
           written == size;
  }
  bool Read(void* data, size_t size) const {
    SIZE_T read = 0;
    return address_ && ReadProcessMemory(process_, address_, data, size, &read) && read == size;
  }
  // Leaves the memory to the program: a remote thread that has not ended may
  // still use it, and freeing it under that thread would crash the program.
  void Abandon() { address_ = nullptr; }

 private:
  HANDLE process_;
  void* address_;
};

// A library loaded into the driver itself, to find an export's offset.
class LocalLibrary {
 public:
  explicit LocalLibrary(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {}
  ~LocalLibrary() {
    if (module_) FreeLibrary(module_);
  }
  LocalLibrary(const LocalLibrary&) = delete;
  LocalLibrary& operator=(const LocalLibrary&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

enum class RemoteRun { kEnded, kNotStarted, kStillRunning };

// Runs start(param) as a new thread of `process` and waits for its end;
// *exit_code receives what the thread returned when it ended.
RemoteRun RunRemoteThread(HANDLE process, const void* start, void* param, DWORD* exit_code) {
  Handle thread(CreateRemoteThread(
      process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(const_cast<void*>(start)),
      param, 0, nullptr));
  if (!thread.get()) return RemoteRun::kNotStarted;
  if (WaitForSingleObject(thread.get(), kRemoteThreadWaitMs) != WAIT_OBJECT_0)
    return RemoteRun::kStillRunning;
  GetExitCodeThread(thread.get(), exit_code);
  return RemoteRun::kEnded;
}

std::wstring ModuleName(HANDLE process, HMODULE module) {
  wchar_t name[MAX_PATH] = {};
  GetModuleBaseNameW(process, module, name, MAX_PATH);
  return name;
}

// Whether `function` of this process may be started in `process` at the same
// address: its module is loaded there at the same base. System modules are,
// but a start address that is wrong would crash the program, so check.
bool SameAddressIn(HANDLE process, const void* function) {
  HMODULE local = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(function), &local))
    return false;
  HMODULE remote[512];
  DWORD bytes = 0;
  if (!EnumProcessModules(process, remote, sizeof remote, &bytes)) return false;
  DWORD count = std::min<DWORD>(bytes / sizeof(HMODULE), std::size(remote));
  std::wstring name = ModuleName(GetCurrentProcess(), local);
  return std::any_of(remote, remote + count, [&](HMODULE m) {
    return m == local && _wcsicmp(ModuleName(process, m).c_str(), name.c_str()) == 0;
  });
}

const void* Kernel32Function(const char* name) {
  return reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
}

std::wstring BesideDriver(const wchar_t* file) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + file;
}

// A library loaded into another process by a remote thread running
// LoadLibraryW there, unloaded the same way (FreeLibrary) with this object.
class RemoteLibrary {
 public:
  // Loads `path` into `process`; failure() tells when it could not.
  RemoteLibrary(HANDLE process, const std::wstring& path) : process_(process) {
    const void* load_library = Kernel32Function("LoadLibraryW");
    if (!SameAddressIn(process, load_library) ||
        !SameAddressIn(process, Kernel32Function("FreeLibrary"))) {
      failure_ = "LoadLibraryW or FreeLibrary lies elsewhere in the program";
      return;
    }
    size_t bytes = (path.size() + 1) * sizeof(wchar_t);
    RemoteMemory remote_path(process, bytes);
    if (!remote_path.Write(path.c_str(), bytes)) {
      failure_ = "cannot write into the program";
      return;
    }
    DWORD module = 0;  // the thread's exit code: the 32-bit module handle
    RemoteRun load = RunRemoteThread(process, load_library, remote_path.get(), &module);
    if (load == RemoteRun::kStillRunning) remote_path.Abandon();
    if (load != RemoteRun::kEnded)
      failure_ = "LoadLibraryW did not run in the program";
    else if (!module)
      failure_ = "the program could not load " + Escape(path);
    module_ = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module));
  }
  ~RemoteLibrary() {
    if (!module_ || pinned_) return;
    DWORD unused = 0;
    RunRemoteThread(process_, Kernel32Function("FreeLibrary"), module_, &unused);
  }
  RemoteLibrary(const RemoteLibrary&) = delete;
  RemoteLibrary& operator=(const RemoteLibrary&) = delete;

  // Empty when the library is loaded, else why not.
  const std::string& failure() const { return failure_; }
  // The address in the program of `function`, an export of the same library
  // loaded at `local` in the driver.
  const void* AddressOf(HMODULE local, const void* function) const {
    return reinterpret_cast<const char*>(module_) +
           (static_cast<const char*>(function) - reinterpret_cast<const char*>(local));
  }
  // Leaves the library loaded: a thread of the program still runs its code.
  void Pin() { pinned_ = true; }

 private:
  HANDLE process_;
  HMODULE module_ = nullptr;
  bool pinned_ = false;
  std::string failure_;
};

// The ProbeFonts export of fontprobe.dll as loaded in the driver, or null.
const void* LocalProbe(const LocalLibrary& library) {
  if (!library.get()) return nullptr;
  return reinterpret_cast<const void*>(GetProcAddress(library.get(), fontprobe::kProbeExport));
}

// Fills `report` with the fonts of the controls below `window`, read inside
// `process` by fontprobe.dll. Returns an empty string on success, else why
// the fonts could not be read. The library is unloaded again unless its
// thread hangs.
std::string ProbeFonts(HANDLE process, HWND window, fontprobe::FontReport& report) {
  std::wstring dll = BesideDriver(kFontProbeDll);
  LocalLibrary local(dll);
  const void* probe_here = LocalProbe(local);
  if (!probe_here)
    return "no " + std::string(fontprobe::kProbeExport) + " in " + Escape(dll) + " (error " +
           std::to_string(GetLastError()) + ")";
  RemoteLibrary remote(process, dll);
  if (!remote.failure().empty()) return remote.failure();

  RemoteMemory remote_report(process, sizeof report);
  report = fontprobe::FontReport{};
  report.window = window;
  if (!remote_report.Write(&report, sizeof report)) return "cannot write into the program";
  DWORD status = 0;
  switch (RunRemoteThread(process, remote.AddressOf(local.get(), probe_here), remote_report.get(),
                          &status)) {
    case RemoteRun::kNotStarted:
      return "the probe did not start in the program";
    case RemoteRun::kStillRunning:
      remote_report.Abandon();
      remote.Pin();
      return "the probe did not end within " + std::to_string(kRemoteThreadWaitMs / 1000) + " s";
    case RemoteRun::kEnded:
      break;
  }
  if (!remote_report.Read(&report, sizeof report)) return "cannot read the probe's report";
  if (status != 0) return "the probe failed with status " + std::to_string(status);
  return {};
}

class Driver {
 public:
  Driver(Transcript& transcript, std::wstring transcript_path, std::vector<std::wstring> answers)
      : out_(transcript),
        transcript_path_(std::move(transcript_path)),
        answers_(std::move(answers)) {}

  // Returns the driver's exit status.
  int Run(const std::wstring& program, DWORD timeout_ms) {
    wchar_t full[MAX_PATH] = {};
    GetFullPathNameW(program.c_str(), MAX_PATH, full, nullptr);
    std::wstring path = full;
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/"));
    std::wstring command = L"\"" + path + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &si, &pi)) {
      out_.Write("error", {"what=cannot start " + Escape(path) + " (error " +
                           std::to_string(GetLastError()) + ")"});
      return 4;
    }
    process_ = pi.hProcess;
    Handle process(pi.hProcess), thread(pi.hThread);

    DWORD start = GetTickCount();
    while (WaitForSingleObject(process_, 50) == WAIT_TIMEOUT) {
      if (GetTickCount() - start > timeout_ms) {
        out_.Write("timeout", {"seconds=" + std::to_string(timeout_ms / 1000)});
        return End(3);
      }
      if (!Step(pi.dwProcessId)) return End(4);
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    out_.Write("exit", {"code=" + std::to_string(code)});
    return 0;
  }

 private:
  int End(int status) {
    TerminateProcess(process_, 255);
    WaitForSingleObject(process_, 5000);
    return status;
  }

  // One look at the program's windows; false when the driver must give up.
  bool Step(DWORD pid) {
    // Forget boxes that are gone, so that a new box reusing a handle is seen.
    for (auto it = answered_.begin(); it != answered_.end();)
      it = IsWindow(*it) ? std::next(it) : answered_.erase(it);

    for (HWND hwnd : VisibleTopLevelWindows(pid)) {
      std::wstring cls = ClassOf(hwnd);
      if (cls == kBoxClass && !answered_.count(hwnd)) {
        answered_.insert(hwnd);
        if (!AnswerBox(hwnd)) return false;
      } else if (cls == kMainClass && !main_done_) {
        main_done_ = true;
        ReadMainWindow(hwnd);
        ReadFonts(hwnd);
        TakeScreenshot(L"window");
        PressOk(hwnd);
      }
    }
    return true;
  }

  void Settle() {
    WaitForInputIdle(process_, 2000);
    Sleep(150);
  }

  bool AnswerBox(HWND box) {
    Settle();
    std::vector<std::string> fields = {"title=" + Escape(TextOf(box)),
                                       "text=" + Escape(TextOf(GetDlgItem(box, kBoxTextId))),
                                       "icon=" + IconOf(box)};
    std::string buttons;
    for (const auto& b : kBoxButtons) {
      if (!ButtonOf(box, b.id)) continue;
      buttons += (buttons.empty() ? "" : ",") + std::string(b.name);
    }
    fields.push_back("buttons=" + buttons);

    std::string wanted;
    if (next_answer_ < answers_.size()) {
      wanted = Utf8(answers_[next_answer_++]);
      for (auto& c : wanted) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    } else if (ButtonOf(box, IDOK)) {
      wanted = "ok";
    }
    HWND button = nullptr;
    for (const auto& b : kBoxButtons) {
      if (wanted == b.name) button = ButtonOf(box, b.id);
    }
    fields.push_back("answer=" + (button ? wanted : "none"));
    out_.Write("box", fields);
    TakeScreenshot(L"box" + std::to_wstring(++boxes_seen_));
    if (!button) {
      out_.Write("error", {wanted.empty() ? "what=no answer left for a box without OK"
                                          : "what=no button for answer '" + wanted + "'"});
      return false;
    }
    // Posted, not sent: the program may show its next box from the click.
    PostMessageW(button, BM_CLICK, 0, 0);
    return true;
  }

  void ReadMainWindow(HWND main) {
    Settle();
    RECT window, client, work;
    GetWindowRect(main, &window);
    GetClientRect(main, &client);
    POINT origin = {0, 0};
    ClientToScreen(main, &origin);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    out_.Write(
        "window",
        {"class=" + Escape(ClassOf(main)), "caption=" + Escape(TextOf(main)),
         "style=" + Hex(GetWindowLongW(main, GWL_STYLE)),
         "exstyle=" + Hex(GetWindowLongW(main, GWL_EXSTYLE)), "rect=" + Rect(window),
         "client=" + Pair(client.right, client.bottom), "client_origin=" + Pair(origin.x, origin.y),
         "screen=" + Pair(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)),
         "workarea=" + Rect(work)});
    for (HWND child : Descendants(main)) {
      RECT r;
      GetWindowRect(child, &r);
      MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
      HWND parent = GetParent(child);
      out_.Write("control",
                 {"class=" + Escape(ClassOf(child)), "id=" + std::to_string(GetDlgCtrlID(child)),
                  "parent=" + std::to_string(parent == main ? 0 : GetDlgCtrlID(parent)),
                  "rect=" + Rect(r), "style=" + Hex(GetWindowLongW(child, GWL_STYLE)),
                  "exstyle=" + Hex(GetWindowLongW(child, GWL_EXSTYLE)),
                  "enabled=" + std::to_string(IsWindowEnabled(child) ? 1 : 0),
                  "visible=" + std::to_string(IsWindowVisible(child) ? 1 : 0),
                  "text=" + Escape(TextOf(child))});
    }
  }

  // One font record per control of the main window, then the fonts record.
  void ReadFonts(HWND main) {
    fontprobe::FontReport report;
    std::string failure = ProbeFonts(process_, main, report);
    if (failure.empty() && report.found > fontprobe::kMaxControls)
      failure = std::to_string(report.found) + " controls, more than the probe describes";
    if (!failure.empty()) {
      out_.Write("fonts", {"status=failed", "what=" + failure});
      return;
    }
    for (LONG i = 0; i < report.found; ++i) {
      const fontprobe::ControlFont& font = report.controls[i];
      out_.Write("font",
                 {"id=" + std::to_string(font.id), "set=" + std::to_string(font.has_font),
                  "face=" + Escape(std::wstring(font.face, wcsnlen(font.face, LF_FACESIZE))),
                  "height=" + std::to_string(font.height), "weight=" + std::to_string(font.weight),
                  "italic=" + std::to_string(font.italic)});
    }
    out_.Write("fonts", {"status=read"});
  }

  // Lets the harness take a screenshot of what is on screen now, named by `label`.
  void TakeScreenshot(const std::wstring& label) {
    wchar_t value[32] = {};
    if (!GetEnvironmentVariableW(L"MOVRIX_SHOT_WAIT", value, 32)) return;
    int seconds = _wtoi(value);
    if (seconds <= 0) return;
    std::wstring marker = transcript_path_ + L"." + label;
    std::wstring done = marker + L".shot-done";
    DeleteFileW(done.c_str());
    TouchFile(marker + L".shown");
    DWORD start = GetTickCount();
    while (!FileExists(done) && GetTickCount() - start < static_cast<DWORD>(seconds) * 1000)
      Sleep(50);
    out_.Write("shot", {"of=" + Utf8(label),
                        std::string("status=") + (FileExists(done) ? "taken" : "missing")});
  }

  void PressOk(HWND main) {
    for (HWND child : Descendants(main)) {
      if (GetDlgCtrlID(child) == kOkButtonId) {
        PostMessageW(child, BM_CLICK, 0, 0);
        out_.Write("click", {"id=" + std::to_string(kOkButtonId), "status=posted"});
        return;
      }
    }
    // No OK button: close the window instead so the run still ends.
    out_.Write("click", {"id=" + std::to_string(kOkButtonId), "status=missing"});
    PostMessageW(main, WM_CLOSE, 0, 0);
  }

  Transcript& out_;
  std::wstring transcript_path_;
  std::vector<std::wstring> answers_;
  size_t next_answer_ = 0;
  HANDLE process_ = nullptr;
  std::set<HWND> answered_;
  bool main_done_ = false;
  int boxes_seen_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fwprintf(stderr,
                  L"usage: driver.exe <timeout-seconds> <transcript-file> <program.exe> "
                  L"[yes|no|ok ...]\n");
    return 2;
  }
  int seconds = _wtoi(argv[1]);
  Transcript transcript(argv[2]);
  if (seconds <= 0 || !transcript.ok()) {
    std::fwprintf(stderr, L"driver: bad timeout or cannot write %ls\n", argv[2]);
    return 2;
  }
  Driver driver(transcript, argv[2], std::vector<std::wstring>(argv + 4, argv + argc));
  return driver.Run(argv[3], static_cast<DWORD>(seconds) * 1000);
}
