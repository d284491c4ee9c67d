// Systems that hand every call to another one: the bases of a layer that changes only a few
// services and leaves the rest as they are. Each facet forwards on its own, so that a layer over
// one facet derives from that facet's forwarder alone; ForwardingSystem forwards them all.
#pragma once

#include "platform/system.h"

namespace movrix {

class ForwardingFileSystem : public virtual FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& next) : files_(next) {}

  int64_t FileLength(const std::string& path) override { return files_.FileLength(path); }
  int64_t PathAttributes(const std::string& path) override { return files_.PathAttributes(path); }
  std::unique_ptr<FileSearch> FindFirst(const std::string& pattern, FindData& first) override {
    return files_.FindFirst(pattern, first);
  }
  void Rename(const std::string& from, const std::string& to) override {
    return files_.Rename(from, to);
  }
  std::unique_ptr<AppendableFile> OpenToAppend(const std::string& path, bool must_be_new) override {
    return files_.OpenToAppend(path, must_be_new);
  }
  void CreateFolder(const std::string& path) override { return files_.CreateFolder(path); }
  void CopyFileOver(const std::string& from, const std::string& to) override {
    return files_.CopyFileOver(from, to);
  }
  ShellCopyResult ShellCopyFile(const std::string& from, const std::string& to,
                                bool unattended) override {
    return files_.ShellCopyFile(from, to, unattended);
  }
  std::string ReadWholeFile(const std::string& path) override { return files_.ReadWholeFile(path); }
  std::unique_ptr<ReadableFile> OpenToRead(const std::string& path) override {
    return files_.OpenToRead(path);
  }
  void RemoveFile(const std::string& path) override { return files_.RemoveFile(path); }
  void RemoveFolder(const std::string& path) override { return files_.RemoveFolder(path); }
  void MoveReplacing(const std::string& from, const std::string& to) override {
    return files_.MoveReplacing(from, to);
  }
  void MoveReplacingWrittenThrough(const std::string& from, const std::string& to) override {
    return files_.MoveReplacingWrittenThrough(from, to);
  }
  void MoveAtRestart(const std::string& from, const std::string& to) override {
    return files_.MoveAtRestart(from, to);
  }
  std::vector<std::pair<std::string, std::string>> PendingRestartMoves() override {
    return files_.PendingRestartMoves();
  }
  void SetPathAttributes(const std::string& path, uint32_t attributes) override {
    return files_.SetPathAttributes(path, attributes);
  }
  std::string FileDateShortText(const std::string& path) override {
    return files_.FileDateShortText(path);
  }
  std::string FileSecurity(const std::string& path) override { return files_.FileSecurity(path); }
  void PutFileSecurity(const std::string& path, const std::string& descriptor) override {
    return files_.PutFileSecurity(path, descriptor);
  }

 private:
  FileSystem& files_;
};

class ForwardingRegistry : public virtual Registry {
 public:
  explicit ForwardingRegistry(Registry& next) : registry_(next) {}

  int32_t OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                     KeyHandle& result) override {
    return registry_.OpenRegKey(root, path, access, result);
  }
  int32_t CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                       KeyHandle& result) override {
    return registry_.CreateRegKey(root, path, access, result);
  }
  int32_t QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type, std::string* data,
                        uint32_t& size) override {
    return registry_.QueryRegValue(key, name, type, data, size);
  }
  int32_t SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                      const std::string& data, uint32_t size) override {
    return registry_.SetRegValue(key, name, type, data, size);
  }
  int32_t CloseRegKey(KeyHandle key) override { return registry_.CloseRegKey(key); }
  int32_t DeleteRegValue(KeyHandle key, const std::string& name) override {
    return registry_.DeleteRegValue(key, name);
  }
  int32_t DeleteRegKey(KeyHandle root, const std::string& path, uint32_t access) override {
    return registry_.DeleteRegKey(root, path, access);
  }
  int32_t CountRegKeyContents(KeyHandle key, uint32_t& subkeys, uint32_t& values) override {
    return registry_.CountRegKeyContents(key, subkeys, values);
  }

 private:
  Registry& registry_;
};

class ForwardingProcesses : public virtual Processes {
 public:
  explicit ForwardingProcesses(Processes& next) : processes_(next) {}

  std::string NativeSystemFolder() override { return processes_.NativeSystemFolder(); }
  std::optional<uint32_t> StartProgram(const std::string& program, const std::string& arguments,
                                       uint32_t wait_milliseconds) override {
    return processes_.StartProgram(program, arguments, wait_milliseconds);
  }
  std::optional<uint32_t> RunElevated(const std::string& program,
                                      const std::string& arguments) override {
    return processes_.RunElevated(program, arguments);
  }
  std::unique_ptr<HeldLock> TakeNamedLock(const std::string& name) override {
    return processes_.TakeNamedLock(name);
  }
  std::unique_ptr<HeldLock> TakeAdministratorsLock(const std::string& name) override {
    return processes_.TakeAdministratorsLock(name);
  }
  std::unique_ptr<ProcessSnapshot> SnapshotProcesses() override {
    return processes_.SnapshotProcesses();
  }
  std::unique_ptr<ProcessHandle> OpenProcessToEnd(int32_t id) override {
    return processes_.OpenProcessToEnd(id);
  }

 private:
  Processes& processes_;
};

class ForwardingEnvironment : public virtual Environment {
 public:
  explicit ForwardingEnvironment(Environment& next) : environment_(next) {}

  std::string GetEnv(const std::string& name) override { return environment_.GetEnv(name); }
  std::string ExpandEnvironment(const std::string& text) override {
    return environment_.ExpandEnvironment(text);
  }
  std::string OwnLocalAppDataFolder() override { return environment_.OwnLocalAppDataFolder(); }
  std::string ExecutablePath() override { return environment_.ExecutablePath(); }
  std::string FullPath(const std::string& path) override { return environment_.FullPath(path); }
  void SetCurrentDrive(const std::string& drive_root) override {
    return environment_.SetCurrentDrive(drive_root);
  }
  void SetCurrentFolderOfDrive(const std::string& folder) override {
    return environment_.SetCurrentFolderOfDrive(folder);
  }
  Wow64Value DisableWow64Redirection() override { return environment_.DisableWow64Redirection(); }
  void RevertWow64Redirection(Wow64Value value) override {
    return environment_.RevertWow64Redirection(value);
  }

 private:
  Environment& environment_;
};

class ForwardingIdentity : public virtual Identity {
 public:
  explicit ForwardingIdentity(Identity& next) : identity_(next) {}

  SystemIdentity ReadIdentity() override { return identity_.ReadIdentity(); }
  Machine NativeMachine() override { return identity_.NativeMachine(); }
  uint16_t SystemDefaultLangId() override { return identity_.SystemDefaultLangId(); }
  AdministratorsGroup AdministratorsInToken() override { return identity_.AdministratorsInToken(); }
  std::string LocalTimeText() override { return identity_.LocalTimeText(); }
  std::string RandomBytes(size_t count) override { return identity_.RandomBytes(count); }
  void WriteEventLogEntry(const std::string& source, EventKind kind, uint32_t event_id,
                          const std::vector<std::string>& inserts) override {
    return identity_.WriteEventLogEntry(source, kind, event_id, inserts);
  }

 private:
  Identity& identity_;
};

class ForwardingMessagePump : public virtual MessagePump {
 public:
  explicit ForwardingMessagePump(MessagePump& next) : pump_(next) {}

  void ProcessPendingMessages() override { return pump_.ProcessPendingMessages(); }

 private:
  MessagePump& pump_;
};

class ForwardingUserInterface : public virtual UserInterface {
 public:
  explicit ForwardingUserInterface(UserInterface& next) : ui_(next) {}

  Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                     Icon icon) override {
    return ui_.ShowMessage(text, title, buttons, icon);
  }
  void RunWindow(const FormContent& form) override { return ui_.RunWindow(form); }
  bool InServicesSession() override { return ui_.InServicesSession(); }
  bool WindowStationVisible() override { return ui_.WindowStationVisible(); }

 private:
  UserInterface& ui_;
};

class ForwardingSystem : public System,
                         public ForwardingFileSystem,
                         public ForwardingRegistry,
                         public ForwardingProcesses,
                         public ForwardingEnvironment,
                         public ForwardingIdentity,
                         public ForwardingMessagePump,
                         public ForwardingUserInterface {
 public:
  explicit ForwardingSystem(System& next)
      : ForwardingFileSystem(next),
        ForwardingRegistry(next),
        ForwardingProcesses(next),
        ForwardingEnvironment(next),
        ForwardingIdentity(next),
        ForwardingMessagePump(next),
        ForwardingUserInterface(next),
        next_(next) {}

  // The one function that several facets share: forwarded once, here.
  std::string ErrorText(uint32_t code) override { return next_.ErrorText(code); }

 protected:
  System& next_;
};

}  // namespace movrix
