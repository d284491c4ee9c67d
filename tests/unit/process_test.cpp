#include "process/mod_process.h"
#include "tests/unit/host_fixture.h"

namespace movrix {
namespace {

using ProcessTest = testing::HostTest;

TEST_F(ProcessTest, FindsOnlyWholeNamesIgnoringCase) {
  EXPECT_EQ(FindProcess(host_, "WinMail.exe"), 0);
  host_.AddProcess("explorer.exe");
  host_.AddProcess("WinMail.exe.old");
  EXPECT_EQ(FindProcess(host_, "WinMail.exe"), 0) << "a longer name must not match";
  int32_t mail = host_.AddProcess("WINMAIL.EXE");
  EXPECT_EQ(FindProcess(host_, "WinMail.exe"), mail);
}

TEST_F(ProcessTest, FindsTheFirstOfTwoAndEndsOnlyThatOne) {
  int32_t first = host_.AddProcess("winmail.exe");
  int32_t second = host_.AddProcess("WinMail.exe");
  int32_t found = FindProcess(host_, "WinMail.exe");
  EXPECT_EQ(found, first);
  KillProcess(host_, found);
  KillProcess(host_, found);  // a process already gone changes nothing
  EXPECT_FALSE(host_.IsRunning(first));
  EXPECT_TRUE(host_.IsRunning(second));
}

}  // namespace
}  // namespace movrix
