// A system that hands every call to another one: the base of a layer that changes only a few
// services and leaves the rest as they are.
#pragma once

#include "platform/system.h"

namespace movrix {

class ForwardingSystem : public System {
 public:
  explicit ForwardingSystem(System& next) : next_(next) {}

  std::string GetEnv(const std::string& name) override { return next_.GetEnv(name); }
  std::string ExpandEnvironment(const std::string& text) override {
    return next_.ExpandEnvironment(text);
  }
  std::string OwnLocalAppDataFolder() override { return next_.OwnLocalAppDataFolder(); }
  uint16_t SystemDefaultLangId() override { return next_.SystemDefaultLangId(); }
  AdministratorsGroup AdministratorsInToken() override { return next_.AdministratorsInToken(); }
  std::string ExecutablePath() override { return next_.ExecutablePath(); }
  std::string FileDateShortText(const std::string& path) override {
    return next_.FileDateShortText(path);
  }
  std::string LocalTimeText() override { return next_.LocalTimeText(); }
  void SetCurrentDrive(const std::string& drive_root) override {
    return next_.SetCurrentDrive(drive_root);
  }
  void SetCurrentFolderOfDrive(const std::string& folder) override {
    return next_.SetCurrentFolderOfDrive(folder);
  }
  int64_t FileLength(const std::string& path) override { return next_.FileLength(path); }
  int64_t PathAttributes(const std::string& path) override { return next_.PathAttributes(path); }
  std::unique_ptr<FileSearch> FindFirst(const std::string& pattern, FindData& first) override {
    return next_.FindFirst(pattern, first);
  }
  void Rename(const std::string& from, const std::string& to) override {
    return next_.Rename(from, to);
  }
  std::string FullPath(const std::string& path) override { return next_.FullPath(path); }
  std::unique_ptr<AppendableFile> OpenToAppend(const std::string& path, bool must_be_new) override {
    return next_.OpenToAppend(path, must_be_new);
  }
  void CreateFolder(const std::string& path) override { return next_.CreateFolder(path); }
  void CopyFileOver(const std::string& from, const std::string& to) override {
    return next_.CopyFileOver(from, to);
  }
  ShellCopyResult ShellCopyFile(const std::string& from, const std::string& to,
                                bool unattended) override {
    return next_.ShellCopyFile(from, to, unattended);
  }
  Wow64Value DisableWow64Redirection() override { return next_.DisableWow64Redirection(); }
  void RevertWow64Redirection(Wow64Value value) override {
    return next_.RevertWow64Redirection(value);
  }
  std::string ReadWholeFile(const std::string& path) override { return next_.ReadWholeFile(path); }
  std::unique_ptr<ReadableFile> OpenToRead(const std::string& path) override {
    return next_.OpenToRead(path);
  }
  void RemoveFile(const std::string& path) override { return next_.RemoveFile(path); }
  void RemoveFolder(const std::string& path) override { return next_.RemoveFolder(path); }
  void MoveReplacing(const std::string& from, const std::string& to) override {
    return next_.MoveReplacing(from, to);
  }
  void MoveReplacingWrittenThrough(const std::string& from, const std::string& to) override {
    return next_.MoveReplacingWrittenThrough(from, to);
  }
  void MoveAtRestart(const std::string& from, const std::string& to) override {
    return next_.MoveAtRestart(from, to);
  }
  void SetPathAttributes(const std::string& path, uint32_t attributes) override {
    return next_.SetPathAttributes(path, attributes);
  }
  std::string FileSecurity(const std::string& path) override { return next_.FileSecurity(path); }
  void PutFileSecurity(const std::string& path, const std::string& descriptor) override {
    return next_.PutFileSecurity(path, descriptor);
  }
  std::vector<std::pair<std::string, std::string>> PendingRestartMoves() override {
    return next_.PendingRestartMoves();
  }
  std::string NativeSystemFolder() override { return next_.NativeSystemFolder(); }
  std::optional<uint32_t> StartProgram(const std::string& program, const std::string& arguments,
                                       uint32_t wait_milliseconds) override {
    return next_.StartProgram(program, arguments, wait_milliseconds);
  }
  void ProcessPendingMessages() override { return next_.ProcessPendingMessages(); }
  std::unique_ptr<HeldLock> TakeNamedLock(const std::string& name) override {
    return next_.TakeNamedLock(name);
  }
  std::unique_ptr<HeldLock> TakeAdministratorsLock(const std::string& name) override {
    return next_.TakeAdministratorsLock(name);
  }
  std::optional<uint32_t> RunElevated(const std::string& program,
                                      const std::string& arguments) override {
    return next_.RunElevated(program, arguments);
  }
  int32_t OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                     KeyHandle& result) override {
    return next_.OpenRegKey(root, path, access, result);
  }
  int32_t CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                       KeyHandle& result) override {
    return next_.CreateRegKey(root, path, access, result);
  }
  int32_t QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type, std::string* data,
                        uint32_t& size) override {
    return next_.QueryRegValue(key, name, type, data, size);
  }
  int32_t SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                      const std::string& data, uint32_t size) override {
    return next_.SetRegValue(key, name, type, data, size);
  }
  int32_t CloseRegKey(KeyHandle key) override { return next_.CloseRegKey(key); }
  int32_t DeleteRegValue(KeyHandle key, const std::string& name) override {
    return next_.DeleteRegValue(key, name);
  }
  int32_t DeleteRegKey(KeyHandle root, const std::string& path, uint32_t access) override {
    return next_.DeleteRegKey(root, path, access);
  }
  int32_t CountRegKeyContents(KeyHandle key, uint32_t& subkeys, uint32_t& values) override {
    return next_.CountRegKeyContents(key, subkeys, values);
  }
  std::unique_ptr<ProcessSnapshot> SnapshotProcesses() override {
    return next_.SnapshotProcesses();
  }
  std::unique_ptr<ProcessHandle> OpenProcessToEnd(int32_t id) override {
    return next_.OpenProcessToEnd(id);
  }
  void WriteEventLogEntry(const std::string& source, EventKind kind, uint32_t event_id,
                          const std::vector<std::string>& inserts) override {
    return next_.WriteEventLogEntry(source, kind, event_id, inserts);
  }
  std::string ErrorText(uint32_t code) override { return next_.ErrorText(code); }
  SystemIdentity ReadIdentity() override { return next_.ReadIdentity(); }
  Machine NativeMachine() override { return next_.NativeMachine(); }
  std::string RandomBytes(size_t count) override { return next_.RandomBytes(count); }
  Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                     Icon icon) override {
    return next_.ShowMessage(text, title, buttons, icon);
  }
  void RunWindow(const FormContent& form) override { return next_.RunWindow(form); }
  bool InServicesSession() override { return next_.InServicesSession(); }
  bool WindowStationVisible() override { return next_.WindowStationVisible(); }

 protected:
  System& next_;
};

}  // namespace movrix
