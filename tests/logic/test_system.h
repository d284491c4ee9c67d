// The system the logic tests run on: the real one, under Wine, with a thin layer on top that
// forwards every call and changes only what a test names: administrator rights, the system
// language, the environment and the executable's path, scripted answers to message boxes (every
// box is recorded), an injected failure of a named call, process ids that pass to another program,
// and the window (recorded, not shown). Started programs run for real, and are recorded too.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/forwarding_system.h"
#include "platform/win32/win32_system.h"

namespace movrix::testing {

// The calls a test can make fail (TestSystem::Fail), named after the system call.
enum class Call {
  kFileDateShortText,
  kPathAttributes,
  kFindFirst,
  kFindNext,
  kCopyFileOver,
  kRename,
  kRemoveFile,
  kMoveReplacing,
  kShellCopyFile,
  kShellCopyAborted,
  kStartProgram,
  kProgramEnd,
  kProgramExitCode,
  kOpenRegKey,
  kCreateRegKey,
  kQueryRegValue,
  kSetRegValue,
  kOpenProcessToEnd,
  kWriteEventLogEntry
};

// Made before the layer on top of it.
struct OnTheRealSystem {
  Win32System real;
};

class TestSystem : private OnTheRealSystem, public ForwardingSystem {
 public:
  TestSystem() : ForwardingSystem(real) {}

  struct Box {
    std::string text, title;
    Buttons buttons;
    Icon icon;
    bool redirection_off;  // shown while WOW64 file-system redirection was switched off
  };
  struct Command {
    std::string program, arguments;
    uint32_t wait;
  };
  struct EventEntry {
    std::string source;
    EventKind kind;
    uint32_t id;
    std::vector<std::string> inserts;
  };

  // ---- What a test may force; unset means the real system's answer.
  std::optional<AdministratorsGroup> admin;
  std::optional<uint16_t> language;
  std::optional<std::string> executable;
  std::map<std::string, std::string> environment;
  // Answers to the next boxes, in order; once they run out, a box takes its first button.
  std::deque<Answer> answers;
  // Called with each box while it is shown, before its answer is taken: what the user does then.
  std::function<void(const Box&)> while_shown;
  // Ids that passed to another program once their own ended: opening the process whose id is a
  // key opens the process of its value.
  std::map<int32_t, int32_t> passed_ids;
  // Processes that the snapshot shows in another session, as a user's sign-in beside this one.
  std::vector<int32_t> other_session_ids;
  std::optional<bool> window_station_visible;
  // The system's folders, as ReadIdentity gives them.
  std::optional<SystemIdentity> identity;
  std::optional<Machine> machine;
  // Private namespaces, which Wine cannot make: when set, a lock taken in one is a named mutex of
  // a name of its own, which no other object shares.
  bool private_namespaces = false;
  // What the elevation prompt comes to, which Wine never shows: the exit code of the elevated
  // run, or empty when the user refuses.
  std::optional<uint32_t> elevated_exit_code;
  // Makes the calls `call` fail with the system error `code` when their first text
  // argument (a path, a command line, a key path) contains `argument_part`. Calls that report a
  // status return the code, calls that hand out a handle hand out none, the others throw.
  // CopyFileOver throws after copying, as a copy that broke off and left its destination.
  // Four more calls force what the real system does only rarely: kFindNext (a listing breaks
  // off after its first entry), kShellCopyAborted (the shell abandons the copy, nothing copied,
  // yet reports 0), kProgramEnd (a started program still runs after its wait) and
  // kProgramExitCode (an awaited program ends with `code`).
  void Fail(Call call, const std::string& argument_part = "", uint32_t code = 5);
  // With this code, a failing call throws what no system failure is: a fault of the program.
  static constexpr uint32_t kProgramFault = 0xFFFFFFFF;
  void ForgetFailures() { failures_.clear(); }
  // Listed entries whose name contains one of these are reported as links (reparse points).
  std::vector<std::string> links;
  // Security descriptors of files, by full path, which Wine does not keep as Windows does: read
  // from here and written here instead of on the file.
  std::map<std::string, std::string> file_security;
  // Keys (paths below their root) that may be read but not changed, as those that only
  // TrustedInstaller may change: opening one with a right to change it is refused.
  std::vector<std::string> read_only_keys;

  // ---- What happened.
  std::vector<Box> boxes;
  std::vector<Command> commands;
  std::vector<std::string> moves_at_restart;  // "from -> to" of each move scheduled
  std::vector<Command> elevated_starts;
  // Every event log entry asked for, written or not: Wine's event log keeps none to read back.
  std::vector<EventEntry> event_entries;
  std::optional<FormContent> shown_window;
  // Every key opened or created, "HKCU\<path>" (HKCR, HKLM), and every value written,
  // "<key>|<name>", in order.
  std::vector<std::string> keys_opened, values_written;
  // Shell copies asked to run unattended.
  int unattended_copies = 0;
  // The boxes shown so far, one "title|text|icon" line each, "|yes/no" added for a question.
  std::string BoxLines() const;

  std::string GetEnv(const std::string& name) override;
  uint16_t SystemDefaultLangId() override;
  AdministratorsGroup AdministratorsInToken() override;
  std::string ExecutablePath() override;
  std::string FileDateShortText(const std::string& path) override;
  int64_t PathAttributes(const std::string& path) override;
  std::unique_ptr<FileSearch> FindFirst(const std::string& pattern, FindData& first) override;
  void MoveReplacing(const std::string& from, const std::string& to) override;
  void MoveAtRestart(const std::string& from, const std::string& to) override;
  void CopyFileOver(const std::string& from, const std::string& to) override;
  void Rename(const std::string& from, const std::string& to) override;
  void RemoveFile(const std::string& path) override;
  std::string FileSecurity(const std::string& path) override;
  void PutFileSecurity(const std::string& path, const std::string& descriptor) override;
  ShellCopyResult ShellCopyFile(const std::string& from, const std::string& to,
                                bool unattended) override;
  Wow64Value DisableWow64Redirection() override;
  void RevertWow64Redirection(Wow64Value value) override;
  std::optional<uint32_t> StartProgram(const std::string& program, const std::string& arguments,
                                       uint32_t wait_milliseconds) override;
  int32_t OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                     KeyHandle& result) override;
  int32_t CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                       KeyHandle& result) override;
  int32_t QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type, std::string* data,
                        uint32_t& size) override;
  int32_t SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                      const std::string& data, uint32_t size) override;
  std::unique_ptr<ProcessSnapshot> SnapshotProcesses() override;
  std::unique_ptr<ProcessHandle> OpenProcessToEnd(int32_t id) override;
  Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                     Icon icon) override;
  void RunWindow(const FormContent& form) override;
  bool WindowStationVisible() override;
  SystemIdentity ReadIdentity() override;
  void WriteEventLogEntry(const std::string& source, EventKind kind, uint32_t event_id,
                          const std::vector<std::string>& inserts) override;
  Machine NativeMachine() override;
  std::unique_ptr<HeldLock> TakeAdministratorsLock(const std::string& name) override;
  std::optional<uint32_t> RunElevated(const std::string& program,
                                      const std::string& arguments) override;

 private:
  // Records an open or a creation of `path` below `root` that handed out `key`.
  void RecordKey(KeyHandle root, const std::string& path, int32_t status, KeyHandle key);
  bool ReadOnly(const std::string& path, uint32_t access) const;
  // The injected error code for this call, 0 when it runs for real.
  uint32_t FailureOf(Call call, const std::string& argument) const;
  // Throws the injected failure, if any.
  void ThrowIfFailing(Call call, const std::string& argument) const;

  struct Failure {
    Call call;
    std::string argument_part;
    uint32_t code;
  };
  std::vector<Failure> failures_;
  std::map<KeyHandle, std::string> key_names_;
  bool redirection_off_ = false;
};

}  // namespace movrix::testing
