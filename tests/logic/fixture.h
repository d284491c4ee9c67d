// What every logic test stands on: the test system over the real one, and a scratch folder of its
// own in the throwaway prefix the tests run in.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/box_reporter.h"
#include "common/run_state.h"
#include "common/text.h"
#include "tests/logic/test_system.h"

namespace movrix::testing {

// True for a 32-bit process on a 64-bit system, the only one that meets WOW64's redirections.
bool IsWow64();
#define SKIP_UNLESS_WOW64()                                                           \
  if (!::movrix::testing::IsWow64())                                                  \
  GTEST_SKIP() << "only a 32-bit process on a 64-bit system meets this; this one is " \
               << (sizeof(void*) == 8 ? "64-bit (the x86_64 flavour)" : "on a 32-bit system")
bool Is64BitSystem();

// The system files the installation replaces, each below system32 and syswow64.
inline constexpr const char* kSystemFiles[] = {
    "msoeacct.dll", "msidcrl30.dll",          "acctres.dll",
    "inetres.dll",  "fr-FR\\acctres.dll.mui", "fr-FR\\inetres.dll.mui"};

// Sets a value of the version key of HKEY_LOCAL_MACHINE, in its 64-bit view as the
// identification reads it, and puts the original back when destroyed.
class PinnedVersionValue {
 public:
  PinnedVersionValue(const std::string& name, const std::string& text);
  ~PinnedVersionValue();
  PinnedVersionValue(const PinnedVersionValue&) = delete;
  PinnedVersionValue& operator=(const PinnedVersionValue&) = delete;

 private:
  std::string name_;
  std::string original_;  // type code and data, or empty when there was no value
};

// Lines joined, each followed by CR LF.
std::string Lines(std::initializer_list<std::string> lines);
// The failures of `outcome`, one "what: reason" line each, sorted: a listing's order is the file
// system's own.
std::string SortedFailures(const Outcome& outcome);

// The fake WinMail.exe that lies beside the tests, run under the file name `name` (a copy beside
// it) with `arguments`. Its window is up when the constructor returns; it is terminated, if it
// still runs, when destroyed.
class FakeMail {
 public:
  // Its exit code once its window was closed.
  static constexpr uint32_t kClosedOnRequest = 3;

  explicit FakeMail(const std::string& arguments = "", const std::string& name = "WinMail.exe");
  ~FakeMail();
  FakeMail(const FakeMail&) = delete;
  FakeMail& operator=(const FakeMail&) = delete;

  int32_t id() const { return id_; }
  // Its exit code, once it has ended within `milliseconds`; STILL_ACTIVE (259) while it runs.
  uint32_t ExitCode(uint32_t milliseconds = 0) const;
  // Ends it with `exit_code`, as its user closing it would, and waits until it is gone.
  void End(uint32_t exit_code);

 private:
  void* process_ = nullptr;
  int32_t id_ = 0;
};

class LogicTest : public ::testing::Test {
 protected:
  // A fresh, empty folder C:\movrix-tests\<suite>.<test>\, removed again afterwards.
  LogicTest();
  ~LogicTest() override;

  // The full path of `relative` in the scratch folder.
  std::string At(const std::string& relative) const { return root_ + relative; }
  // Writes `content` into the file at a full path, making its folders.
  static void Write(const std::string& path, const std::string& content);
  // The content of a file, or "<missing>".
  static std::string Read(const std::string& path);
  static void MakeFolder(const std::string& path);
  // Removes a file or a whole folder.
  static void Remove(const std::string& path);

  TestSystem system_;
  BoxReporter boxes_{system_};
  std::string root_;
};

}  // namespace movrix::testing
