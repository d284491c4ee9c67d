// The stand-in for Windows used by the tests on Linux: drive letters mapped to folders under a
// temporary root, an in-memory registry with the three roots and a write log, a process table,
// message boxes answered from a script. It models a 32-bit program, on a 32-bit or 64-bit system,
// as far as the installer uses the system, and passes the same contract tests as Win32System.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/host_faults.h"
#include "platform/system.h"

namespace movrix {

// The registry trees and the file-system model live with their code, each made and destroyed there.
struct HostRegistryState;  // host_registry.cpp
struct HostFileState;      // host_files.cpp
HostRegistryState* NewHostRegistryState();
void DeleteHostRegistryState(HostRegistryState* state);
HostFileState* NewHostFileState(const std::filesystem::path& root);
void DeleteHostFileState(HostFileState* state);

class HostSystem : public System {
 public:
  // Drive letters map to folders `root`/<letter> (created on demand). The system starts as a
  // 64-bit French Windows 10 run by an administrator, with the usual environment variables.
  explicit HostSystem(const std::filesystem::path& root);
  ~HostSystem() override;

  // ---- Set-up and inspection for tests ----
  void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }
  void UnsetEnv(const std::string& name) { env_.erase(name); }
  void SetLanguage(uint16_t lang_id) { lang_id_ = lang_id; }
  void SetAdmin(bool admin) { admin_ = admin; }
  void SetExecutablePath(const std::string& path) { exe_path_ = path; }
  // A 64-bit system redirects the 32-bit program's system32 paths to syswow64.
  void Set64BitSystem(bool is64);
  bool Is64BitSystem() const { return is64_; }
  HostFaults& faults() { return faults_; }

  // Files: the host path that a Windows path names (redirection applied as it stands now),
  // and direct access that bypasses redirection and faults.
  std::filesystem::path HostPath(const std::string& windows_path) const;
  void WriteFile(const std::string& windows_path, const std::string& content);
  std::string ReadFile(const std::string& windows_path) const;
  void MakeFolder(const std::string& windows_path);
  bool Wow64RedirectionDisabled() const;

  // Current drive and folders, as the program left them.
  std::string CurrentDrive() const { return current_drive_; }
  std::string CurrentFolderOf(char drive_letter) const;

  // Processes: adds a running process and returns its id; whether it still runs.
  int32_t AddProcess(const std::string& exe_name);
  bool IsRunning(int32_t id) const;

  // Message boxes shown, in order, with the answer each got. Answers are taken from the queue;
  // with the queue empty a box is answered OK (or No for a question).
  struct Box {
    std::string text, title;
    Buttons buttons;
    Icon icon;
    Answer answer;
  };
  const std::vector<Box>& boxes() const { return boxes_; }
  void QueueAnswer(Answer answer) { answers_.push_back(answer); }

  // Command lines started, in order; the next starts fail while `fail_commands` is set.
  const std::vector<std::string>& commands() const { return commands_; }
  void SetCommandsFail(bool fail) { commands_fail_ = fail; }
  int pending_message_rounds() const { return pending_message_rounds_; }

  // The window shown by RunWindow, if any.
  const std::optional<FormContent>& shown_window() const { return shown_window_; }

  // Registry: every value written, in order, and keys whose creation is refused.
  struct RegWrite {
    KeyHandle root;
    std::string key;  // path below the root, as the tree spells it
    std::string name;
    uint32_t type;
    std::string data;
  };
  const std::vector<RegWrite>& reg_writes() const;
  void RefuseKeyCreation(KeyHandle root, const std::string& path);
  // Test access to the trees, bypassing handles: whether a key exists, and a value's type and data.
  bool RegKeyExists(KeyHandle root, const std::string& path) const;
  std::optional<std::pair<uint32_t, std::string>> RegValue(KeyHandle root, const std::string& path,
                                                           const std::string& name) const;
  // Writes a value, creating its keys; a REG_SZ / REG_EXPAND_SZ text given without its
  // terminator is stored with one.
  void SetRegValueDirect(KeyHandle root, const std::string& path, const std::string& name,
                         uint32_t type, const std::string& data);

  // ---- System ----
  std::string GetEnv(const std::string& name) override;
  uint16_t SystemDefaultLangId() override { return lang_id_; }
  bool IsNTAdmin() override { return admin_; }
  std::string ExecutablePath() override { return exe_path_; }
  std::string FileDateShortText(const std::string& path) override;
  void SetCurrentDrive(const std::string& drive_root) override;
  void SetCurrentFolderOfDrive(const std::string& folder) override;

  int64_t FileLength(const std::string& path) override;
  int64_t PathAttributes(const std::string& path) override;
  std::unique_ptr<FileSearch> FindFirst(const std::string& pattern, FindData& first) override;
  void Rename(const std::string& from, const std::string& to) override;
  void CopyFileOver(const std::string& from, const std::string& to) override;
  int ShellCopyFile(const std::string& from, const std::string& to) override;
  Wow64Value DisableWow64Redirection() override;
  void RevertWow64Redirection(Wow64Value value) override;

  void StartCommand(const std::string& command_line) override;
  void ProcessPendingMessages() override { ++pending_message_rounds_; }

  int32_t OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                     KeyHandle& result) override;
  int32_t CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                       KeyHandle& result) override;
  int32_t QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type, std::string* data,
                        uint32_t& size) override;
  int32_t SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                      const std::string& data, uint32_t size) override;
  int32_t CloseRegKey(KeyHandle key) override;

  std::unique_ptr<ProcessSnapshot> SnapshotProcesses() override;
  std::unique_ptr<ProcessHandle> OpenProcessToTerminate(int32_t id) override;

  std::string ToAnsi(const std::string& text) override;
  std::string FromAnsi(const std::string& bytes) override;

  Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                     Icon icon) override;
  void RunWindow(const FormContent& form) override { shown_window_ = form; }

 private:
  // The value of an environment variable, whose name is not case-sensitive.
  std::string EnvValue(const std::string& name) const;

  std::map<std::string, std::string> env_;
  uint16_t lang_id_ = 0x040C;
  bool admin_ = true;
  bool is64_ = true;
  std::string exe_path_;
  std::string current_drive_ = "C:";
  std::map<char, std::string> current_folders_;
  HostFaults faults_;

  struct Process {
    int32_t id;
    std::string exe_name;
    bool running;
  };
  std::vector<Process> processes_;
  int32_t next_pid_ = 1000;

  std::vector<Box> boxes_;
  std::deque<Answer> answers_;
  std::vector<std::string> commands_;
  bool commands_fail_ = false;
  int pending_message_rounds_ = 0;
  std::optional<FormContent> shown_window_;

  std::unique_ptr<HostRegistryState, void (*)(HostRegistryState*)> registry_;
  std::unique_ptr<HostFileState, void (*)(HostFileState*)> files_;
};

}  // namespace movrix
