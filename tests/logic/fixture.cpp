#include "tests/logic/fixture.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace movrix::testing {
namespace {

std::filesystem::path Native(const std::string& utf8_path) {
  return std::filesystem::u8path(utf8_path);
}

}  // namespace

bool IsWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool Is64BitSystem() {
  return sizeof(void*) == 8 || IsWow64();
}

namespace {

constexpr const char* kVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

HKEY OpenVersionKey() {
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0,
                KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key);
  return key;
}

}  // namespace

PinnedVersionValue::PinnedVersionValue(const std::string& name, const std::string& text)
    : name_(name) {
  HKEY key = OpenVersionKey();
  DWORD type = 0, size = 1024;
  std::string data(size, '\0');
  if (!RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                        &size))
    original_ = char(type) + data.substr(0, size);
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 DWORD(text.size() + 1));
  RegCloseKey(key);
}

PinnedVersionValue::~PinnedVersionValue() {
  HKEY key = OpenVersionKey();
  if (original_.empty())
    RegDeleteValueA(key, name_.c_str());
  else
    RegSetValueExA(key, name_.c_str(), 0, DWORD(original_[0]),
                   reinterpret_cast<const BYTE*>(original_.data() + 1),
                   DWORD(original_.size() - 1));
  RegCloseKey(key);
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + kCrLf;
  return text;
}

FakeMail::FakeMail(const std::string& arguments, const std::string& name) {
  char test_program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, test_program, MAX_PATH);
  const std::string folder(test_program, std::strrchr(test_program, '\\') + 1);
  const std::string program = folder + name;
  if (name != "WinMail.exe") CopyFileA((folder + "WinMail.exe").c_str(), program.c_str(), FALSE);
  std::string command_line = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &started)) {
    ADD_FAILURE() << "cannot start " << program << ": error " << GetLastError();
    return;
  }
  CloseHandle(started.hThread);
  process_ = started.hProcess;
  id_ = int32_t(started.dwProcessId);
  if (WaitForInputIdle(process_, 10000) != 0)
    ADD_FAILURE() << program << " did not show its window; exit code " << ExitCode();
}

FakeMail::~FakeMail() {
  if (!process_) return;
  if (ExitCode() == STILL_ACTIVE) End(1);
  CloseHandle(process_);
}

uint32_t FakeMail::ExitCode(uint32_t milliseconds) const {
  WaitForSingleObject(process_, milliseconds);
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

void FakeMail::End(uint32_t exit_code) {
  TerminateProcess(process_, exit_code);
  WaitForSingleObject(process_, INFINITE);
}

std::string SortedFailures(const Outcome& outcome) {
  std::vector<std::string> lines;
  for (const Failure& failure : outcome.failures)
    lines.push_back(failure.what + ": " + failure.reason + "\n");
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

LogicTest::LogicTest() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  root_ = std::string("C:\\movrix-tests\\") + test->test_suite_name() + "." + test->name() + "\\";
  std::filesystem::remove_all(Native(root_));
  std::filesystem::create_directories(Native(root_));
}

LogicTest::~LogicTest() {
  // The start-up makes the program's folder current; a current folder cannot be removed.
  std::filesystem::current_path("C:\\");
  std::error_code ignored;
  std::filesystem::remove_all(Native(root_), ignored);
}

void LogicTest::Write(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(Native(path).parent_path());
  std::ofstream(Native(path), std::ios::binary) << content;
}

std::string LogicTest::Read(const std::string& path) {
  std::ifstream file(Native(path), std::ios::binary);
  if (!file) return "<missing>";
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void LogicTest::MakeFolder(const std::string& path) {
  std::filesystem::create_directories(Native(path));
}

void LogicTest::Remove(const std::string& path) {
  std::filesystem::remove_all(Native(path));
}

}  // namespace movrix::testing
