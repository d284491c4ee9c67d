// Files, folders and the WOW64 switch on the real system.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <algorithm>
#include <cwchar>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_system.h"

namespace movrix {
namespace {

// The shell's flags for one silent copy: FOF_SILENT | FOF_NOCONFIRMATION.
constexpr FILEOP_FLAGS kShellCopyFlags = 0x14;
// What a copy nobody watches adds: no error box, no question before making a folder.
constexpr FILEOP_FLAGS kUnattendedCopyFlags = FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;

void Fill(const WIN32_FIND_DATAW& record, FindData& data) {
  data.attributes = record.dwFileAttributes;
  // The record's name field always holds its terminating NUL within MAX_PATH.
  data.name = Utf8(std::wstring(record.cFileName, wcsnlen(record.cFileName, MAX_PATH)));
}

// One FindFirstFileW listing; FindClose when destroyed.
class Win32Search : public FileSearch {
 public:
  explicit Win32Search(HANDLE handle) : handle_(handle) {}

  bool Next(FindData& data) override {
    WIN32_FIND_DATAW record{};
    if (!FindNextFileW(handle_.get(), &record)) {
      if (GetLastError() == ERROR_NO_MORE_FILES) return false;
      ThrowLastError();
    }
    Fill(record, data);
    return true;
  }

 private:
  SearchHandle handle_;
};

// A file opened by CreateFileW for appending; closed when destroyed.
class Win32AppendableFile : public AppendableFile {
 public:
  explicit Win32AppendableFile(HANDLE handle) : handle_(handle) {}

  OpenFileFacts Facts() override {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle_.get(), &information)) ThrowLastError();
    return {information.dwFileAttributes, information.nNumberOfLinks,
            int64_t(information.nFileSizeHigh) << 32 | information.nFileSizeLow, FinalPath()};
  }

  void Append(const std::string& bytes) override {
    DWORD written = 0;
    if (!WriteFile(handle_.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr))
      ThrowLastError();
  }

  void Flush() override {
    if (!FlushFileBuffers(handle_.get())) ThrowLastError();
  }

 private:
  // The first call asks for the length, the NUL included; the second fills the text.
  std::string FinalPath() {
    constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD needed = GetFinalPathNameByHandleW(handle_.get(), nullptr, 0, kFlags);
    if (needed == 0) ThrowLastError();
    std::wstring path(needed, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(handle_.get(), path.data(), needed, kFlags);
    if (length == 0 || length >= needed) ThrowLastError();
    path.resize(length);
    const std::wstring prefix = L"\\\\?\\";
    return Utf8(path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path);
  }

  KernelHandle handle_;
};

// A file opened by CreateFileW for reading; closed when destroyed.
class Win32ReadableFile : public ReadableFile {
 public:
  explicit Win32ReadableFile(HANDLE handle) : handle_(handle) {}

  size_t Read(char* buffer, size_t size) override {
    DWORD read = 0;
    if (!ReadFile(handle_.get(), buffer, DWORD(size), &read, nullptr)) ThrowLastError();
    return read;
  }

 private:
  KernelHandle handle_;
};

// A list of one path for the shell: the path ended by two NULs.
std::wstring ShellList(const std::string& path) {
  return Wide(path) + std::wstring(2, L'\0');
}

// The switch functions exist from Windows XP x64 and Vista on; older systems lack them, so they
// are looked up instead of imported.
using Wow64DisableFunction = BOOL(WINAPI*)(PVOID*);
using Wow64RevertFunction = BOOL(WINAPI*)(PVOID);

}  // namespace

int64_t Win32System::FileLength(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) ThrowLastError();
  return int64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

int64_t Win32System::PathAttributes(const std::string& path) {
  std::wstring wide = Wide(path);
  // "C:\" keeps its backslash: without it, it would name the current folder of drive C.
  const bool drive_root = wide.size() == 3 && wide[1] == L':';
  if (!drive_root && wide.size() > 1 && wide.back() == L'\\') wide.pop_back();
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return attributes;
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return -1;
    default:
      ThrowLastError();
  }
}

std::unique_ptr<FileSearch> Win32System::FindFirst(const std::string& pattern, FindData& first) {
  WIN32_FIND_DATAW record{};
  HANDLE handle = FindFirstFileW(Wide(pattern).c_str(), &record);
  if (handle == INVALID_HANDLE_VALUE) {
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_NO_MORE_FILES:
        return nullptr;
      default:
        ThrowLastError();
    }
  }
  auto search = std::make_unique<Win32Search>(handle);
  Fill(record, first);
  return search;
}

void Win32System::Rename(const std::string& from, const std::string& to) {
  if (!MoveFileW(Wide(from).c_str(), Wide(to).c_str())) ThrowLastError();
}

std::string Win32System::FullPath(const std::string& path) {
  const std::wstring wide = Wide(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (!size) ThrowLastError();
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (!length || length >= size) ThrowLastError();
  full.resize(length);
  return Utf8(full);
}

std::unique_ptr<AppendableFile> Win32System::OpenToAppend(const std::string& path,
                                                          bool must_be_new) {
  // FILE_APPEND_DATA alone: every write lands at the end, even another process's in between.
  HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            must_be_new ? CREATE_NEW : OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowLastError();
  return std::make_unique<Win32AppendableFile>(file);
}

void Win32System::CreateFolder(const std::string& path) {
  if (!CreateDirectoryW(Wide(path).c_str(), nullptr)) ThrowLastError();
}

void Win32System::CopyFileOver(const std::string& from, const std::string& to) {
  if (!CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE)) ThrowLastError();
}

ShellCopyResult Win32System::ShellCopyFile(const std::string& from, const std::string& to,
                                           bool unattended) {
  const std::wstring from_list = ShellList(from);
  const std::wstring to_list = ShellList(to);
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_COPY;
  operation.pFrom = from_list.c_str();
  operation.pTo = to_list.c_str();
  operation.fFlags = kShellCopyFlags | (unattended ? kUnattendedCopyFlags : 0);
  ShellCopyResult result;
  result.code = SHFileOperationW(&operation);
  result.aborted = operation.fAnyOperationsAborted != FALSE;
  return result;
}

// A 64-bit process (the x86_64 flavour) sees the native system folders already: it has no
// redirection to switch, and the system would only refuse the switch.
#ifdef _WIN64
Wow64Value Win32System::DisableWow64Redirection() {
  return 0;
}

void Win32System::RevertWow64Redirection(Wow64Value) {}
#else
Wow64Value Win32System::DisableWow64Redirection() {
  PVOID previous = nullptr;
  if (auto disable = Kernel32Function<Wow64DisableFunction>("Wow64DisableWow64FsRedirection"))
    disable(&previous);
  return reinterpret_cast<Wow64Value>(previous);
}

void Win32System::RevertWow64Redirection(Wow64Value value) {
  if (auto revert = Kernel32Function<Wow64RevertFunction>("Wow64RevertWow64FsRedirection"))
    revert(reinterpret_cast<PVOID>(value));
}
#endif

std::string Win32System::ReadWholeFile(const std::string& path) {
  const std::unique_ptr<ReadableFile> file = OpenToRead(path);
  std::string content;
  char buffer[65536];
  for (size_t read; (read = file->Read(buffer, sizeof buffer)) > 0;) content.append(buffer, read);
  return content;
}

std::unique_ptr<ReadableFile> Win32System::OpenToRead(const std::string& path) {
  // Read once from start to end: the hint lets the system read ahead of each block.
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowLastError();
  return std::make_unique<Win32ReadableFile>(file);
}

void Win32System::RemoveFile(const std::string& path) {
  if (!DeleteFileW(Wide(path).c_str())) ThrowLastError();
}

void Win32System::RemoveFolder(const std::string& path) {
  if (!RemoveDirectoryW(Wide(path).c_str())) ThrowLastError();
}

void Win32System::MoveReplacing(const std::string& from, const std::string& to) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING))
    ThrowLastError();
}

void Win32System::MoveReplacingWrittenThrough(const std::string& from, const std::string& to) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ThrowLastError();
}

void Win32System::MoveAtRestart(const std::string& from, const std::string& to) {
  const std::wstring wide_to = Wide(to);
  const DWORD flags = MOVEFILE_DELAY_UNTIL_REBOOT | (to.empty() ? 0 : MOVEFILE_REPLACE_EXISTING);
  if (!MoveFileExW(Wide(from).c_str(), to.empty() ? nullptr : wide_to.c_str(), flags))
    ThrowLastError();
}

namespace {

// The value that holds the restart's moves, read whole: its strings, each ended by a NUL.
std::wstring PendingRenameValue() {
  HKEY key;
  LONG status =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                    KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return L"";
  if (status != ERROR_SUCCESS) throw SystemError(DescribeError(status), status);
  DWORD size = 0;
  std::wstring data;
  status = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    data.resize(size / sizeof(wchar_t));
    status = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size / sizeof(wchar_t));
  }
  RegCloseKey(key);
  if (status == ERROR_FILE_NOT_FOUND) return L"";
  if (status != ERROR_SUCCESS) throw SystemError(DescribeError(status), status);
  return data;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> Win32System::PendingRestartMoves() {
  const std::wstring value = PendingRenameValue();
  std::vector<std::string> strings;
  for (size_t start = 0; start < value.size();) {
    const size_t end = std::min(value.find(L'\0', start), value.size());
    strings.push_back(Utf8(value.substr(start, end - start)));
    start = end + 1;
  }
  // Sources and destinations alternate; the list's own final NUL leaves one empty string over.
  std::vector<std::pair<std::string, std::string>> moves;
  for (size_t i = 0; i + 1 < strings.size(); i += 2) moves.emplace_back(strings[i], strings[i + 1]);
  return moves;
}

}  // namespace movrix
