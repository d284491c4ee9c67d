// Environment, identity, processes, texts and message boxes on the real system.
#include "platform/win32/win32_system.h"

#include <windows.h>

#include "platform/win32/win32_handles.h"
// The tool help and shell folder functions need the base types of windows.h.
#include <shlobj.h>
#include <tlhelp32.h>

#include <cctype>
#include <cstdio>

namespace movrix {
namespace {

std::wstring Widen(const std::string& text, UINT code_page) {
  int length = MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), int(text.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT code_page) {
  int length = WideCharToMultiByte(code_page, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr,
                                   nullptr);
  std::string text(length, '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), int(wide.size()), text.data(), length, nullptr,
                      nullptr);
  return text;
}

class ToolhelpSnapshot : public ProcessSnapshot {
 public:
  ToolhelpSnapshot(HANDLE snapshot, Win32System& system) : snapshot_(snapshot), system_(system) {}
  bool First(ProcessEntry& entry) override { return Fetch(Process32First, entry); }
  bool Next(ProcessEntry& entry) override { return Fetch(Process32Next, entry); }

 private:
  bool Fetch(BOOL(WINAPI* fetch)(HANDLE, PROCESSENTRY32*), ProcessEntry& entry) {
    PROCESSENTRY32 record{};
    record.dwSize = sizeof record;  // 296 in the ANSI form
    if (!fetch(snapshot_.get(), &record)) return false;
    entry.id = int32_t(record.th32ProcessID);
    entry.exe_name = system_.FromAnsi(record.szExeFile);
    return true;
  }

  KernelHandle snapshot_;
  Win32System& system_;
};

class EndableProcess : public ProcessHandle {
 public:
  explicit EndableProcess(HANDLE process) : process_(process) {}

  void AskToClose() override {
    // The handle keeps the id from passing to another program, so an ended process has no
    // windows here.
    EnumWindows(PostCloseIfOwnedBy, LPARAM(GetProcessId(process_.get())));
  }
  void Terminate(uint32_t exit_code) override { TerminateProcess(process_.get(), exit_code); }
  bool WaitForEnd(uint32_t milliseconds) override {
    return WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
  }

 private:
  // Closes the windows the user sees and closes, never the hidden ones a program keeps for its
  // own workings, nor the dialogs that belong to another of its windows.
  static BOOL CALLBACK PostCloseIfOwnedBy(HWND window, LPARAM process_id) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == DWORD(process_id) && IsWindowVisible(window) && !GetWindow(window, GW_OWNER))
      PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
  }

  KernelHandle process_;
};

// A named mutex this process made; the lock ends when its handle is closed.
class NamedMutexLock : public HeldLock {
 public:
  explicit NamedMutexLock(HANDLE mutex) : mutex_(mutex) {}

 private:
  KernelHandle mutex_;
};

}  // namespace

std::string DescribeError(unsigned long code) {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string description = length ? std::string(buffer, length) : "Erreur " + std::to_string(code);
  LocalFree(buffer);
  while (!description.empty() &&
         (description.back() == '\n' || description.back() == '\r' || description.back() == ' '))
    description.pop_back();
  return Narrow(Widen(description, CP_ACP), CP_UTF8);
}

void ThrowLastError() {
  DWORD code = GetLastError();
  throw SystemError(DescribeError(code), code);
}

std::string Win32System::GetEnv(const std::string& name) {
  std::string ansi_name = ToAnsi(name);
  DWORD size = GetEnvironmentVariableA(ansi_name.c_str(), nullptr, 0);
  if (size == 0) return "";
  std::string value(size, '\0');
  value.resize(GetEnvironmentVariableA(ansi_name.c_str(), value.data(), size));
  return FromAnsi(value);
}

std::string Win32System::ExpandEnvironment(const std::string& text) {
  const std::wstring wide = Widen(text, CP_UTF8);
  // The size asked for counts the final null; a variable may change between the two calls.
  std::wstring expanded(ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0), L'\0');
  const DWORD length = ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), expanded.size());
  if (length == 0 || length > expanded.size()) ThrowLastError();
  expanded.resize(length - 1);
  return Narrow(expanded, CP_UTF8);
}

std::string Win32System::OwnLocalAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  const HRESULT result =
      SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  if (FAILED(result)) throw SystemError(DescribeError(HRESULT_CODE(result)), HRESULT_CODE(result));
  return Narrow(folder, CP_UTF8);
}

uint16_t Win32System::SystemDefaultLangId() {
  return GetSystemDefaultLangID();
}

void RestrictLibrarySearchToSystemFolder() {
  // Older systems without the update that brings SetDefaultDllDirectories at least lose the
  // current folder from the search.
  SetDllDirectoryA("");
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  auto restrict_search =
      Kernel32Function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
  if (restrict_search) restrict_search(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

bool Win32System::IsNTAdmin() {
  // advpack has no import library in the toolchain; the function is looked up where it lives,
  // by its full path: a copy beside the program must never be the one that runs.
  using IsNTAdminFunction = BOOL(WINAPI*)(DWORD, DWORD*);
  HMODULE advpack = LoadLibraryA(ToAnsi(SystemFolder() + "\\advpack.dll").c_str());
  if (!advpack) ThrowLastError();
  auto is_admin = reinterpret_cast<IsNTAdminFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(advpack, "IsNTAdmin")));
  if (!is_admin) ThrowLastError();
  return is_admin(0, nullptr) != 0;
}

std::string Win32System::ExecutablePath() {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return FromAnsi(path);
}

std::string Win32System::FileDateShortText(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(ToAnsi(path).c_str(), GetFileExInfoStandard, &data)) ThrowLastError();
  FILETIME local;
  SYSTEMTIME date;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &date);
  char text[80] = {};
  if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, sizeof text))
    ThrowLastError();
  return FromAnsi(text);
}

std::string Win32System::LocalTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
           now.wHour, now.wMinute, now.wSecond);
  return text;
}

void Win32System::SetCurrentDrive(const std::string& drive_root) {
  // The drive's own current folder is kept by the system in the variable "=X:".
  std::string drive = ToAnsi(drive_root.substr(0, 2));
  char folder[MAX_PATH + 1] = {};
  std::string target = GetEnvironmentVariableA(("=" + drive).c_str(), folder, MAX_PATH)
                           ? std::string(folder)
                           : drive + "\\";
  if (!SetCurrentDirectoryA(target.c_str())) ThrowLastError();
}

void Win32System::SetCurrentFolderOfDrive(const std::string& folder) {
  std::string ansi = ToAnsi(folder);
  char current[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  if (std::toupper(static_cast<unsigned char>(current[0])) ==
      std::toupper(static_cast<unsigned char>(ansi[0]))) {
    if (!SetCurrentDirectoryA(ansi.c_str())) ThrowLastError();
    return;
  }
  // Another drive: only that drive's current folder changes.
  DWORD attributes = GetFileAttributesA(ansi.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) ThrowLastError();
  if (ansi.size() > 3 && ansi.back() == '\\') ansi.pop_back();
  std::string variable = "=" + ansi.substr(0, 2);
  SetEnvironmentVariableA(variable.c_str(), ansi.c_str());
}

std::unique_ptr<HeldLock> Win32System::TakeNamedLock(const std::string& name) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, ToAnsi(name).c_str());
  // The mutex exists already when another process holds the lock; this handle then only shares
  // it, and is closed at once. Another owner's mutex that this process may not open, or another
  // kind of object of that name, leaves no handle at all.
  const bool made_here = mutex && GetLastError() != ERROR_ALREADY_EXISTS;
  auto lock = std::make_unique<NamedMutexLock>(mutex);
  if (!made_here) return nullptr;
  return lock;
}

std::unique_ptr<ProcessSnapshot> Win32System::SnapshotProcesses() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<ToolhelpSnapshot>(snapshot, *this);
}

std::unique_ptr<ProcessHandle> Win32System::OpenProcessToEnd(int32_t id) {
  // SYNCHRONIZE to wait for the end; the limited query right to learn the id of the process
  // held, whose windows are asked to close.
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                               FALSE, DWORD(id));
  if (!process) return nullptr;
  return std::make_unique<EndableProcess>(process);
}

std::string Win32System::ErrorText(uint32_t code) {
  return DescribeError(code);
}

std::string Win32System::ToAnsi(const std::string& text) {
  return Narrow(Widen(text, CP_UTF8), CP_ACP);
}

std::string Win32System::FromAnsi(const std::string& bytes) {
  return Narrow(Widen(bytes, CP_ACP), CP_UTF8);
}

Answer Win32System::ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                                Icon icon) {
  UINT style = buttons == Buttons::kYesNo ? MB_YESNO : MB_OK;
  switch (icon) {
    case Icon::kCritical:
      style |= MB_ICONHAND;
      break;
    case Icon::kQuestion:
      style |= MB_ICONQUESTION;
      break;
    case Icon::kInformation:
      style |= MB_ICONASTERISK;
      break;
    case Icon::kNone:
      break;
  }
  int answer = MessageBoxA(nullptr, ToAnsi(text).c_str(), ToAnsi(title).c_str(), style);
  return answer == IDYES ? Answer::kYes : answer == IDNO ? Answer::kNo : Answer::kOk;
}

bool Win32System::WindowStationVisible() {
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                 &needed))
    return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace movrix
