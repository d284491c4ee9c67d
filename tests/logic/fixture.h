// What every logic test stands on: the test system over the real one, and a scratch folder of its
// own in the throwaway prefix the tests run in.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "tests/logic/test_system.h"

namespace movrix::testing {

// True in the x86_64 flavour, which has no WOW64 of its own to show.
inline constexpr bool k64BitProcess = sizeof(void*) == 8;
#define SKIP_UNLESS_32_BIT_PROCESS()                                                    \
  if (::movrix::testing::k64BitProcess)                                                 \
  GTEST_SKIP() << "only a 32-bit process meets this; the x86_64 flavour runs here"

// Lines joined, each followed by CR LF.
std::string Lines(std::initializer_list<std::string> lines);

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
  std::string root_;
};

}  // namespace movrix::testing
