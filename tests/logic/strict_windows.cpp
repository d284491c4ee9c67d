#include "tests/logic/strict_windows.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "platform/win32/win32_system.h"

namespace movrix::testing {
namespace {

[[noreturn]] void Refuse(uint32_t code) {
  throw SystemError(DescribeError(code), code);
}

// The path a rights command names: the one between its first two quotes.
std::string QuotedPath(const std::string& arguments) {
  const size_t open = arguments.find('"');
  const size_t close = arguments.find('"', open + 1);
  return open == std::string::npos || close == std::string::npos
             ? ""
             : arguments.substr(open + 1, close - open - 1);
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsReadOnly(System& system, const std::string& path) {
  const int64_t attributes = system.PathAttributes(path);
  return attributes >= 0 && (attributes & kAttributeReadOnly);
}

// Calls `each` with the full path of every file below `folder`, at any depth.
template <typename Each>
void ForEachFile(System& system, const std::string& folder, Each each) {
  FindData entry;
  std::unique_ptr<FileSearch> search = system.FindFirst(folder + "\\*", entry);
  if (!search) return;
  do {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string path = folder + "\\" + entry.name;
    if (entry.attributes & kAttributeDirectory)
      ForEachFile(system, path, each);
    else
      each(path, entry.attributes);
  } while (search->Next(entry));
}

}  // namespace

std::string StrictWindows::Key(const std::string& path) {
  return AsciiLowerCase(path);
}

void StrictWindows::SystemFilesBelow(const std::string& folder) {
  ForEachFile(next_, folder,
              [&](const std::string& path, uint32_t) { trusted_installer_files_[Key(path)]; });
}

void StrictWindows::ReadOnlyBelow(const std::string& folder) {
  read_only_copies_ = true;
  ForEachFile(next_, folder, [&](const std::string& path, uint32_t attributes) {
    next_.SetPathAttributes(path, attributes | kAttributeReadOnly);
  });
}

// ---- Rules ------------------------------------------------------------------------------------

void StrictWindows::RequireRightsStep(const std::string& path) const {
  const auto file = trusted_installer_files_.find(Key(path));
  if (file != trusted_installer_files_.end() && !(file->second.owned && file->second.granted))
    Refuse(kErrorAccessDenied);
}

void StrictWindows::RequireNotRunning(const std::string& path, uint32_t code) const {
  if (!running_.empty() && Key(path) == running_) Refuse(code);
}

void StrictWindows::RequireWritable(const std::string& path) {
  if (read_only_copies_ && IsReadOnly(next_, path)) Refuse(kErrorAccessDenied);
}

void StrictWindows::KeepReadOnly(const std::string& from, const std::string& to) {
  if (read_only_copies_ && IsReadOnly(next_, from))
    next_.SetPathAttributes(to, uint32_t(next_.PathAttributes(to)) | kAttributeReadOnly);
}

void StrictWindows::FollowRename(const std::string& from, const std::string& to) {
  const auto file = trusted_installer_files_.find(Key(from));
  if (file != trusted_installer_files_.end()) {
    const Rights rights = file->second;
    trusted_installer_files_.erase(file);
    trusted_installer_files_[Key(to)] = rights;
  }
  if (Key(from) == running_) running_ = Key(to);
}

void StrictWindows::RequireRedirectionOn(const std::string& what) const {
  if (redirection_off_)
    ADD_FAILURE() << what << " while the WOW64 redirection is off: its libraries would come from "
                  << "the 64-bit system folder";
}

void StrictWindows::NoteRightsCommand(const std::string& program, const std::string& arguments) {
  const auto file = trusted_installer_files_.find(Key(QuotedPath(arguments)));
  if (file == trusted_installer_files_.end()) return;
  if (EndsWith(program, "\\takeown.exe") && arguments.rfind("/a /f ", 0) == 0)
    file->second.owned = true;
  if (EndsWith(program, "\\icacls.exe") && Contains(arguments, "/grant *S-1-5-32-544:F"))
    file->second.granted = true;
}

// ---- The calls the rules change ---------------------------------------------------------------

AdministratorsGroup StrictWindows::AdministratorsInToken() {
  return filtered_administrator_ ? AdministratorsGroup::kDenyOnly : next_.AdministratorsInToken();
}

bool StrictWindows::InServicesSession() {
  return services_session_ || next_.InServicesSession();
}

Answer StrictWindows::ShowMessage(const std::string& text, const std::string& title,
                                  Buttons buttons, Icon icon) {
  RequireRedirectionOn("a box");
  if (services_session_)
    ADD_FAILURE() << "a box in session 0 waits for an answer nobody can give: " << title << "|"
                  << text;
  return next_.ShowMessage(text, title, buttons, icon);
}

void StrictWindows::RunWindow(const FormContent& form) {
  if (services_session_) ADD_FAILURE() << "a window in session 0 waits for an OK nobody can give";
  next_.RunWindow(form);
}

std::unique_ptr<HeldLock> StrictWindows::TakeAdministratorsLock(const std::string& name) {
  if (lock_of_another_account_) Refuse(kErrorAccessDenied);
  return next_.TakeAdministratorsLock(name);
}

Wow64Value StrictWindows::DisableWow64Redirection() {
  ++redirection_off_;
  return next_.DisableWow64Redirection();
}

void StrictWindows::RevertWow64Redirection(Wow64Value value) {
  --redirection_off_;
  next_.RevertWow64Redirection(value);
}

std::optional<uint32_t> StrictWindows::StartProgram(const std::string& program,
                                                    const std::string& arguments,
                                                    uint32_t wait_milliseconds) {
  RequireRedirectionOn("a program started (" + program + ")");
  const std::optional<uint32_t> exit_code =
      next_.StartProgram(program, arguments, wait_milliseconds);
  // A command not awaited may not have changed anything yet when the next call comes.
  if (exit_code == 0u) NoteRightsCommand(program, arguments);
  return exit_code;
}

void StrictWindows::ProcessPendingMessages() {
  RequireRedirectionOn("the window's messages pumped");
  next_.ProcessPendingMessages();
}

void StrictWindows::Rename(const std::string& from, const std::string& to) {
  RequireRightsStep(from);
  next_.Rename(from, to);
  FollowRename(from, to);
}

void StrictWindows::RemoveFile(const std::string& path) {
  RequireRightsStep(path);
  RequireNotRunning(path, kErrorAccessDenied);
  RequireWritable(path);
  next_.RemoveFile(path);
}

void StrictWindows::CopyFileOver(const std::string& from, const std::string& to) {
  RequireRightsStep(to);
  RequireNotRunning(to, kErrorSharingViolation);
  RequireWritable(to);
  next_.CopyFileOver(from, to);
  KeepReadOnly(from, to);
}

ShellCopyResult StrictWindows::ShellCopyFile(const std::string& from, const std::string& to,
                                             bool unattended) {
  if (read_only_copies_ && IsReadOnly(next_, to)) return {kErrorAccessDenied, false};
  const ShellCopyResult result = next_.ShellCopyFile(from, to, unattended);
  if (result.code == 0 && !result.aborted) KeepReadOnly(from, to);
  return result;
}

void StrictWindows::MoveReplacing(const std::string& from, const std::string& to) {
  RequireRightsStep(from);
  RequireRightsStep(to);
  next_.MoveReplacing(from, to);
  FollowRename(from, to);
}

void StrictWindows::MoveReplacingWrittenThrough(const std::string& from, const std::string& to) {
  RequireRightsStep(from);
  RequireRightsStep(to);
  next_.MoveReplacingWrittenThrough(from, to);
  FollowRename(from, to);
}

void StrictWindows::SetPathAttributes(const std::string& path, uint32_t attributes) {
  RequireRightsStep(path);
  next_.SetPathAttributes(path, attributes);
}

void StrictWindows::PutFileSecurity(const std::string& path, const std::string& descriptor) {
  next_.PutFileSecurity(path, descriptor);
  const auto file = trusted_installer_files_.find(Key(path));
  if (file != trusted_installer_files_.end()) file->second = Rights{};
}

}  // namespace movrix::testing
