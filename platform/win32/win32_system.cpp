// Environment, identity, processes, texts and message boxes on the real system.
#include "platform/win32/win32_system.h"

#include <windows.h>

#include "platform/win32/win32_handles.h"
// The tool help and shell folder functions need the base types of windows.h.
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwctype>

#include "platform/utf16.h"

namespace movrix {
namespace {

class ToolhelpSnapshot : public ProcessSnapshot {
 public:
  explicit ToolhelpSnapshot(HANDLE snapshot) : snapshot_(snapshot) {}
  bool First(ProcessEntry& entry) override { return Fetch(Process32FirstW, entry); }
  bool Next(ProcessEntry& entry) override { return Fetch(Process32NextW, entry); }

 private:
  bool Fetch(BOOL(WINAPI* fetch)(HANDLE, PROCESSENTRY32W*), ProcessEntry& entry) {
    PROCESSENTRY32W record{};
    record.dwSize = sizeof record;
    if (!fetch(snapshot_.get(), &record)) return false;
    entry.id = int32_t(record.th32ProcessID);
    entry.exe_name = Utf8(record.szExeFile);
    entry.other_session = InAnotherSession(record.th32ProcessID);
    return true;
  }

  static bool InAnotherSession(DWORD process_id) {
    DWORD session = 0, own_session = 0;
    return ProcessIdToSessionId(process_id, &session) &&
           ProcessIdToSessionId(GetCurrentProcessId(), &own_session) && session != own_session;
  }

  KernelHandle snapshot_;
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
      PostMessageW(window, WM_CLOSE, 0, 0);
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

std::wstring Wide(const std::string& text) {
  const std::u16string wide = Utf16FromUtf8(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Utf8(const std::wstring& wide) {
  return Utf8FromUtf16(std::u16string(wide.begin(), wide.end()));
}

std::string DescribeError(unsigned long code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string description =
      length ? Utf8(std::wstring(buffer, length)) : "Erreur " + std::to_string(code);
  LocalFree(buffer);
  while (!description.empty() &&
         (description.back() == '\n' || description.back() == '\r' || description.back() == ' '))
    description.pop_back();
  return description;
}

void ThrowLastError() {
  DWORD code = GetLastError();
  throw SystemError(DescribeError(code), code);
}

std::string Win32System::GetEnv(const std::string& name) {
  const std::wstring wide_name = Wide(name);
  DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size == 0) return "";
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(wide_name.c_str(), value.data(), size));
  return Utf8(value);
}

std::string Win32System::ExpandEnvironment(const std::string& text) {
  const std::wstring wide = Wide(text);
  // The size asked for counts the final null; a variable may change between the two calls.
  std::wstring expanded(ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0), L'\0');
  const DWORD length = ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), expanded.size());
  if (length == 0 || length > expanded.size()) ThrowLastError();
  expanded.resize(length - 1);
  return Utf8(expanded);
}

std::string Win32System::OwnLocalAppDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  const HRESULT result =
      SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  if (FAILED(result)) throw SystemError(DescribeError(HRESULT_CODE(result)), HRESULT_CODE(result));
  return Utf8(folder);
}

uint16_t Win32System::SystemDefaultLangId() {
  return GetSystemDefaultLangID();
}

void RestrictLibrarySearchToSystemFolder() {
  // Older systems without the update that brings SetDefaultDllDirectories at least lose the
  // current folder from the search.
  SetDllDirectoryW(L"");
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  auto restrict_search =
      Kernel32Function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
  if (restrict_search) restrict_search(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

std::string Win32System::ExecutablePath() {
  // The path grows past MAX_PATH under a long folder name; the buffer grows until it holds it.
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()))) == path.size())
    path.resize(path.size() * 2);
  path.resize(length);
  return Utf8(path);
}

std::string Win32System::FileDateShortText(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) ThrowLastError();
  FILETIME local;
  SYSTEMTIME date;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &date);
  wchar_t text[80] = {};
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, ARRAYSIZE(text)))
    ThrowLastError();
  return Utf8(text);
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
  const std::wstring drive = Wide(drive_root.substr(0, 2));
  wchar_t folder[MAX_PATH + 1] = {};
  const std::wstring target = GetEnvironmentVariableW((L"=" + drive).c_str(), folder, MAX_PATH)
                                  ? std::wstring(folder)
                                  : drive + L"\\";
  if (!SetCurrentDirectoryW(target.c_str())) ThrowLastError();
}

void Win32System::SetCurrentFolderOfDrive(const std::string& folder) {
  std::wstring wide = Wide(folder);
  wchar_t current[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  if (std::towupper(current[0]) == std::towupper(wide[0])) {
    if (!SetCurrentDirectoryW(wide.c_str())) ThrowLastError();
    return;
  }
  // Another drive: only that drive's current folder changes.
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) ThrowLastError();
  if (wide.size() > 3 && wide.back() == L'\\') wide.pop_back();
  const std::wstring variable = L"=" + wide.substr(0, 2);
  SetEnvironmentVariableW(variable.c_str(), wide.c_str());
}

std::unique_ptr<HeldLock> Win32System::TakeNamedLock(const std::string& name) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name).c_str());
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
  return std::make_unique<ToolhelpSnapshot>(snapshot);
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
  int answer = MessageBoxW(nullptr, Wide(text).c_str(), Wide(title).c_str(), style);
  return answer == IDYES ? Answer::kYes : answer == IDNO ? Answer::kNo : Answer::kOk;
}

bool Win32System::InServicesSession() {
  DWORD session = 0;
  return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

bool Win32System::WindowStationVisible() {
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                 &needed))
    return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace movrix
