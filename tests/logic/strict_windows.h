// Windows as strict as it is where Wine is kinder. A layer over the test system that forwards
// every call and adds back, each as one small rule, what Windows refuses and Wine allows: files
// that only TrustedInstaller may change, an administrator whose rights UAC filtered out, the
// services' session where no box can be answered, a lock another account made, read-only sources,
// the libraries a program started with the redirection off would load, and a running program that
// cannot be written over. A rule is in force once its setter has been called.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/forwarding_system.h"

namespace movrix::testing {

class StrictWindows : public ForwardingSystem {
 public:
  explicit StrictWindows(System& next) : ForwardingSystem(next) {}

  // Every file now below `folder` belongs to TrustedInstaller: it may be renamed, deleted, written
  // over or given attributes only once the rights step has run on its path, both commands awaited
  // and ended with 0. Giving it its original owner back makes it TrustedInstaller's again.
  void SystemFilesBelow(const std::string& folder);
  // The process holds the Administrators group for denying access only (UAC, not elevated).
  void FilterAdministrator() { filtered_administrator_ = true; }
  // The process runs in session 0, whose window station still says it is visible.
  void RunInServicesSession() { services_session_ = true; }
  // Another account made the lock's namespace and mutex and holds them.
  void LockHeldByAnotherAccount() { lock_of_another_account_ = true; }
  // The program at `path` runs: its file may be renamed, never written over or deleted.
  void Running(const std::string& path) { running_ = Key(path); }
  // Every file below `folder` carries the read-only attribute, as one copied from a CD. As on
  // Windows (Wine, run as root, ignores it), a copy keeps that attribute, and a read-only file
  // refuses to be written over or deleted.
  void ReadOnlyBelow(const std::string& folder);

  AdministratorsGroup AdministratorsInToken() override;
  bool InServicesSession() override;
  Answer ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                     Icon icon) override;
  void RunWindow(const FormContent& form) override;
  std::unique_ptr<HeldLock> TakeAdministratorsLock(const std::string& name) override;
  Wow64Value DisableWow64Redirection() override;
  void RevertWow64Redirection(Wow64Value value) override;
  std::optional<uint32_t> StartProgram(const std::string& program, const std::string& arguments,
                                       uint32_t wait_milliseconds) override;
  void ProcessPendingMessages() override;
  void Rename(const std::string& from, const std::string& to) override;
  void RemoveFile(const std::string& path) override;
  void CopyFileOver(const std::string& from, const std::string& to) override;
  ShellCopyResult ShellCopyFile(const std::string& from, const std::string& to,
                                bool unattended) override;
  void MoveReplacing(const std::string& from, const std::string& to) override;
  void MoveReplacingWrittenThrough(const std::string& from, const std::string& to) override;
  void SetPathAttributes(const std::string& path, uint32_t attributes) override;
  void PutFileSecurity(const std::string& path, const std::string& descriptor) override;

 private:
  // What the rights step has done to a file of TrustedInstaller's.
  struct Rights {
    bool owned = false;    // takeown /a ended with 0
    bool granted = false;  // icacls /grant ended with 0
  };
  // Paths compare as the file system compares them, whatever their case.
  static std::string Key(const std::string& path);

  // Throws access denied when `path` is TrustedInstaller's and the rights step has not run on it.
  void RequireRightsStep(const std::string& path) const;
  // Throws a sharing violation when `path` is the running program's file.
  void RequireNotRunning(const std::string& path, uint32_t code) const;
  // Throws access denied when the file at `path` is read-only.
  void RequireWritable(const std::string& path);
  // Gives the copy `to` the read-only attribute of its source `from`.
  void KeepReadOnly(const std::string& from, const std::string& to);
  // A rename keeps the file's owner, access list and running state.
  void FollowRename(const std::string& from, const std::string& to);
  // A box or a program started while the redirection is off loads its libraries from the wrong
  // folder, and a load that failed stays failed: a test failure, naming `what`.
  void RequireRedirectionOn(const std::string& what) const;
  // Notes a rights command that ended with 0.
  void NoteRightsCommand(const std::string& program, const std::string& arguments);

  std::map<std::string, Rights> trusted_installer_files_;
  std::string running_;
  bool filtered_administrator_ = false;
  bool services_session_ = false;
  bool lock_of_another_account_ = false;
  bool read_only_copies_ = false;
  int redirection_off_ = 0;
};

}  // namespace movrix::testing
