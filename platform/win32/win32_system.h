// The real system: every service calls the Unicode ("W") Win32 function named in its comment and
// converts texts between UTF-8 and UTF-16 at this boundary, so that no name or value passes
// through the system's code page.
#pragma once

#include <string>

#include "platform/system.h"

namespace movrix {

class Win32System : public System {
 public:
  std::string GetEnv(const std::string& name) override;
  std::string ExpandEnvironment(const std::string& text) override;
  std::string OwnLocalAppDataFolder() override;
  uint16_t SystemDefaultLangId() override;
  AdministratorsGroup AdministratorsInToken() override;
  std::string ExecutablePath() override;
  std::string FileDateShortText(const std::string& path) override;
  std::string LocalTimeText() override;
  void SetCurrentDrive(const std::string& drive_root) override;
  void SetCurrentFolderOfDrive(const std::string& folder) override;

  // win32_files.cpp
  int64_t FileLength(const std::string& path) override;
  int64_t PathAttributes(const std::string& path) override;
  std::unique_ptr<FileSearch> FindFirst(const std::string& pattern, FindData& first) override;
  void Rename(const std::string& from, const std::string& to) override;
  std::string FullPath(const std::string& path) override;
  std::unique_ptr<AppendableFile> OpenToAppend(const std::string& path, bool must_be_new) override;
  void CreateFolder(const std::string& path) override;
  void CopyFileOver(const std::string& from, const std::string& to) override;
  ShellCopyResult ShellCopyFile(const std::string& from, const std::string& to,
                                bool unattended) override;
  Wow64Value DisableWow64Redirection() override;
  void RevertWow64Redirection(Wow64Value value) override;
  std::string ReadWholeFile(const std::string& path) override;
  std::unique_ptr<ReadableFile> OpenToRead(const std::string& path) override;
  void RemoveFile(const std::string& path) override;
  void RemoveFolder(const std::string& path) override;
  void MoveReplacing(const std::string& from, const std::string& to) override;
  void MoveReplacingWrittenThrough(const std::string& from, const std::string& to) override;
  void MoveAtRestart(const std::string& from, const std::string& to) override;
  std::vector<std::pair<std::string, std::string>> PendingRestartMoves() override;
  std::string NativeSystemFolder() override;
  // win32_file_security.cpp
  void SetPathAttributes(const std::string& path, uint32_t attributes) override;
  std::string FileSecurity(const std::string& path) override;
  void PutFileSecurity(const std::string& path, const std::string& descriptor) override;

  // win32_programs.cpp
  std::optional<uint32_t> StartProgram(const std::string& program, const std::string& arguments,
                                       uint32_t wait_milliseconds) override;
  void ProcessPendingMessages() override;

  // win32_registry.cpp
  int32_t OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                     KeyHandle& result) override;
  int32_t CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                       KeyHandle& result) override;
  int32_t QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type, std::string* data,
                        uint32_t& size) override;
  int32_t SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                      const std::string& data, uint32_t size) override;
  int32_t CloseRegKey(KeyHandle key) override;
  int32_t DeleteRegValue(KeyHandle key, const std::string& name) override;
  int32_t DeleteRegKey(KeyHandle root, const std::string& path, uint32_t access) override;
  int32_t CountRegKeyContents(KeyHandle key, uint32_t& subkeys, uint32_t& values) override;

  std::unique_ptr<HeldLock> TakeNamedLock(const std::string& name) override;
  // win32_security.cpp
  std::unique_ptr<HeldLock> TakeAdministratorsLock(const std::string& name) override;
  std::optional<uint32_t> RunElevated(const std::string& program,
                                      const std::string& arguments) override;
  std::string RandomBytes(size_t count) override;
  // win32_identity.cpp
  SystemIdentity ReadIdentity() override;
  Machine NativeMachine() override;
  std::unique_ptr<ProcessSnapshot> SnapshotProcesses() override;
  std::unique_ptr<ProcessHandle> OpenProcessToEnd(int32_t id) override;

  // win32_event_log.cpp
  void WriteEventLogEntry(const std::string& source, EventKind kind, uint32_t event_id,
                          const std::vector<std::string>& inserts) override;

  std::string ErrorText(uint32_t code) override;

  Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                     Icon icon) override;
  // win32_window.cpp
  void RunWindow(const FormContent& form) override;
  bool InServicesSession() override;
  bool WindowStationVisible() override;
};

// A UTF-8 text as the system's UTF-16, and back.
std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& wide);
// The system's description of an error code, in the system's language, as UTF-8.
std::string DescribeError(unsigned long code);
// Throws SystemError for the calling thread's last error.
[[noreturn]] void ThrowLastError();
// Makes the process load libraries from the system folder only, never from the program's own
// folder or the current one, where a planted copy could wait.
void RestrictLibrarySearchToSystemFolder();
// Loads, by their full path in the system folder, the system libraries that the system's own
// libraries load later by name: such a load then finds the module already there, never a copy
// planted beside the program. Called right after the search is restricted.
void PreloadSystemLibraries();

}  // namespace movrix
