#include "tests/logic/test_system.h"

#include <algorithm>
#include <stdexcept>

namespace movrix::testing {

void TestSystem::Fail(Call call, const std::string& argument_part, uint32_t code) {
  failures_.push_back({call, argument_part, code});
}

uint32_t TestSystem::FailureOf(Call call, const std::string& argument) const {
  for (const Failure& failure : failures_) {
    if (failure.call == call && argument.find(failure.argument_part) != std::string::npos)
      return failure.code;
  }
  return 0;
}

void TestSystem::ThrowIfFailing(Call call, const std::string& argument) const {
  const uint32_t code = FailureOf(call, argument);
  if (code == kProgramFault) throw std::logic_error("défaut forcé : " + argument);
  if (code) throw SystemError(DescribeError(code), code);
}

std::string TestSystem::BoxLines() const {
  static const char* const kIconNames[] = {"none", "critical", "question", "information"};
  std::string lines;
  for (const Box& box : boxes) {
    lines += box.title + "|" + box.text + "|" + kIconNames[int(box.icon)];
    if (box.buttons == Buttons::kYesNo) lines += "|yes/no";
    lines += "\n";
  }
  return lines;
}

std::string TestSystem::GetEnv(const std::string& name) {
  auto forced = environment.find(name);
  return forced != environment.end() ? forced->second : next_.GetEnv(name);
}

uint16_t TestSystem::SystemDefaultLangId() {
  return language ? *language : next_.SystemDefaultLangId();
}

AdministratorsGroup TestSystem::AdministratorsInToken() {
  return admin ? *admin : next_.AdministratorsInToken();
}

std::string TestSystem::ExecutablePath() {
  return executable ? *executable : next_.ExecutablePath();
}

std::string TestSystem::FileDateShortText(const std::string& path) {
  ThrowIfFailing(Call::kFileDateShortText, path);
  return next_.FileDateShortText(path);
}

int64_t TestSystem::PathAttributes(const std::string& path) {
  ThrowIfFailing(Call::kPathAttributes, path);
  return next_.PathAttributes(path);
}

namespace {

// A real listing whose entries the test may mark as links, and which may break off.
class TestSearch : public FileSearch {
 public:
  TestSearch(std::unique_ptr<FileSearch> real, const std::vector<std::string>& links,
             uint32_t break_off)
      : real_(std::move(real)), links_(links), break_off_(break_off) {}
  bool Next(FindData& data) override {
    if (break_off_) throw SystemError(DescribeError(break_off_), break_off_);
    if (!real_->Next(data)) return false;
    Mark(links_, data);
    return true;
  }
  static void Mark(const std::vector<std::string>& links, FindData& data) {
    for (const std::string& link : links)
      if (data.name.find(link) != std::string::npos) data.attributes |= kAttributeReparsePoint;
  }

 private:
  std::unique_ptr<FileSearch> real_;
  const std::vector<std::string>& links_;
  uint32_t break_off_;
};

}  // namespace

std::unique_ptr<FileSearch> TestSystem::FindFirst(const std::string& pattern, FindData& first) {
  ThrowIfFailing(Call::kFindFirst, pattern);
  std::unique_ptr<FileSearch> real = next_.FindFirst(pattern, first);
  if (!real) return nullptr;
  TestSearch::Mark(links, first);
  return std::make_unique<TestSearch>(std::move(real), links, FailureOf(Call::kFindNext, pattern));
}

void TestSystem::CopyFileOver(const std::string& from, const std::string& to) {
  next_.CopyFileOver(from, to);
  ThrowIfFailing(Call::kCopyFileOver, from);
}

void TestSystem::Rename(const std::string& from, const std::string& to) {
  ThrowIfFailing(Call::kRename, from);
  next_.Rename(from, to);
}

void TestSystem::RemoveFile(const std::string& path) {
  ThrowIfFailing(Call::kRemoveFile, path);
  next_.RemoveFile(path);
}

std::string TestSystem::FileSecurity(const std::string& path) {
  auto forced = file_security.find(path);
  return forced != file_security.end() ? forced->second : next_.FileSecurity(path);
}

void TestSystem::PutFileSecurity(const std::string& path, const std::string& descriptor) {
  if (file_security.count(path))
    file_security[path] = descriptor;
  else
    next_.PutFileSecurity(path, descriptor);
}

void TestSystem::MoveReplacing(const std::string& from, const std::string& to) {
  ThrowIfFailing(Call::kMoveReplacing, from);
  next_.MoveReplacing(from, to);
}

void TestSystem::MoveAtRestart(const std::string& from, const std::string& to) {
  moves_at_restart.push_back(from + " -> " + to);
  next_.MoveAtRestart(from, to);
}

ShellCopyResult TestSystem::ShellCopyFile(const std::string& from, const std::string& to,
                                          bool unattended) {
  if (unattended) ++unattended_copies;
  if (uint32_t code = FailureOf(Call::kShellCopyFile, from)) return {int(code), false};
  if (FailureOf(Call::kShellCopyAborted, from)) return {0, true};
  return next_.ShellCopyFile(from, to, unattended);
}

Wow64Value TestSystem::DisableWow64Redirection() {
  redirection_off_ = true;
  return next_.DisableWow64Redirection();
}

void TestSystem::RevertWow64Redirection(Wow64Value value) {
  redirection_off_ = false;
  next_.RevertWow64Redirection(value);
}

namespace {

// ERROR_INTERNAL_ERROR: Wine's answer when a program it was starting ended before its start-up
// was done, which now and then happens to the stand-ins for takeown and icacls on a busy machine.
// It is no answer of the real commands on Windows, so such a start is tried again; the failures
// a test asks for come before it.
constexpr uint32_t kErrorInternal = 1359;

}  // namespace

std::optional<uint32_t> TestSystem::StartProgram(const std::string& program,
                                                 const std::string& arguments,
                                                 uint32_t wait_milliseconds) {
  const std::string command = program + " " + arguments;
  ThrowIfFailing(Call::kStartProgram, command);
  commands.push_back({program, arguments, wait_milliseconds});
  std::optional<uint32_t> exit_code;
  for (int attempt = 1;; ++attempt) {
    try {
      exit_code = next_.StartProgram(program, arguments, wait_milliseconds);
      break;
    } catch (const SystemError& failure) {
      if (failure.code() != kErrorInternal || attempt == 3) throw;
    }
  }
  if (!exit_code || FailureOf(Call::kProgramEnd, command)) return std::nullopt;
  const uint32_t forced = FailureOf(Call::kProgramExitCode, command);
  return forced ? forced : *exit_code;
}

bool TestSystem::ReadOnly(const std::string& path, uint32_t access) const {
  constexpr uint32_t kWriteRights = 0x26;  // set value, create subkey, create link
  for (const std::string& key : read_only_keys)
    if ((access & kWriteRights) && path == key) return true;
  return false;
}

int32_t TestSystem::OpenRegKey(KeyHandle root, const std::string& path, uint32_t access,
                               KeyHandle& result) {
  if (uint32_t code = FailureOf(Call::kOpenRegKey, path)) return int32_t(code);
  if (ReadOnly(path, access)) return kErrorAccessDenied;
  int32_t status = next_.OpenRegKey(root, path, access, result);
  RecordKey(root, path, status, result);
  return status;
}

int32_t TestSystem::CreateRegKey(KeyHandle root, const std::string& path, uint32_t access,
                                 KeyHandle& result) {
  if (uint32_t code = FailureOf(Call::kCreateRegKey, path)) return int32_t(code);
  if (ReadOnly(path, access)) return kErrorAccessDenied;
  int32_t status = next_.CreateRegKey(root, path, access, result);
  RecordKey(root, path, status, result);
  return status;
}

int32_t TestSystem::QueryRegValue(KeyHandle key, const std::string& name, uint32_t& type,
                                  std::string* data, uint32_t& size) {
  ThrowIfFailing(Call::kQueryRegValue, name);
  return next_.QueryRegValue(key, name, type, data, size);
}

int32_t TestSystem::SetRegValue(KeyHandle key, const std::string& name, uint32_t type,
                                const std::string& data, uint32_t size) {
  if (uint32_t code = FailureOf(Call::kSetRegValue, name)) return int32_t(code);
  values_written.push_back(key_names_[key] + "|" + name);
  return next_.SetRegValue(key, name, type, data, size);
}

namespace {

// A real snapshot whose entries the test may move to another session.
class TestSnapshot : public ProcessSnapshot {
 public:
  TestSnapshot(std::unique_ptr<ProcessSnapshot> real, const std::vector<int32_t>& other_session_ids)
      : real_(std::move(real)), other_session_ids_(other_session_ids) {}
  bool First(ProcessEntry& entry) override { return Mark(real_->First(entry), entry); }
  bool Next(ProcessEntry& entry) override { return Mark(real_->Next(entry), entry); }

 private:
  bool Mark(bool fetched, ProcessEntry& entry) const {
    const auto& ids = other_session_ids_;
    if (fetched && std::find(ids.begin(), ids.end(), entry.id) != ids.end())
      entry.other_session = true;
    return fetched;
  }

  std::unique_ptr<ProcessSnapshot> real_;
  const std::vector<int32_t>& other_session_ids_;
};

}  // namespace

std::unique_ptr<ProcessSnapshot> TestSystem::SnapshotProcesses() {
  std::unique_ptr<ProcessSnapshot> real = next_.SnapshotProcesses();
  if (!real) return nullptr;
  return std::make_unique<TestSnapshot>(std::move(real), other_session_ids);
}

std::unique_ptr<ProcessHandle> TestSystem::OpenProcessToEnd(int32_t id) {
  if (FailureOf(Call::kOpenProcessToEnd, std::to_string(id))) return nullptr;
  auto passed = passed_ids.find(id);
  return next_.OpenProcessToEnd(passed != passed_ids.end() ? passed->second : id);
}

Answer TestSystem::ShowMessage(const std::string& text, const std::string& title, Buttons buttons,
                               Icon icon) {
  boxes.push_back({text, title, buttons, icon, redirection_off_});
  if (while_shown) while_shown(boxes.back());
  if (answers.empty()) return buttons == Buttons::kYesNo ? Answer::kYes : Answer::kOk;
  Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

void TestSystem::RunWindow(const FormContent& form) {
  shown_window = form;
}

bool TestSystem::WindowStationVisible() {
  return window_station_visible ? *window_station_visible : next_.WindowStationVisible();
}

SystemIdentity TestSystem::ReadIdentity() {
  return identity ? *identity : next_.ReadIdentity();
}

void TestSystem::WriteEventLogEntry(const std::string& source, EventKind kind, uint32_t event_id,
                                    const std::vector<std::string>& inserts) {
  event_entries.push_back({source, kind, event_id, inserts});
  ThrowIfFailing(Call::kWriteEventLogEntry, source);
  next_.WriteEventLogEntry(source, kind, event_id, inserts);
}

Machine TestSystem::NativeMachine() {
  return machine ? *machine : next_.NativeMachine();
}

std::unique_ptr<HeldLock> TestSystem::TakeAdministratorsLock(const std::string& name) {
  if (!private_namespaces) return next_.TakeAdministratorsLock(name);
  return next_.TakeNamedLock("movrix-tests-private-namespace-" + name);
}

std::optional<uint32_t> TestSystem::RunElevated(const std::string& program,
                                                const std::string& arguments) {
  elevated_starts.push_back({program, arguments, 0});
  return elevated_exit_code;
}

void TestSystem::RecordKey(KeyHandle root, const std::string& path, int32_t status, KeyHandle key) {
  const std::string name = std::string(root == kClassesRoot   ? "HKCR"
                                       : root == kCurrentUser ? "HKCU"
                                                              : "HKLM") +
                           "\\" + path;
  keys_opened.push_back(name);
  if (status == kErrorSuccess) key_names_[key] = name;
}

}  // namespace movrix::testing
